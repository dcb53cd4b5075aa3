// Opcodes the host sends to a module through the record's dispatcher.
#pragma once

#include <cstdint>

namespace host_protocol {

enum class DispatcherOpcode : int32_t {
    Open = 0,                  // answer 0
    Close = 1,                 // close, then the instance is destroyed; answer 1
    SetSampleRate = 2,         // opt: samples per second
    SetBlockSize = 3,          // value: samples per host block
    Query4 = 4,                // single-export: answer 1 for true
    Query5 = 5,                // single-export: answer 1 for true
    GetPinProperties = 6,      // index, ptr: PinProperties*; answer 1 if the pin exists
    QueueEvent = 7,            // single-export: ptr: ModuleEvent* to copy
    Resume = 8,                // two-export: index > 0 also resumeWith(index)
    GetModuleProperties = 9,   // single-export: ptr: ModuleProperties*
    QueueEmpty = 10,           // single-export: answer 1 while no event is queued
    Opcode11 = 11,             // nothing in either form
    Opcode12 = 12,             // two-export: handleOpcode12(value, index, ptr)
    ProcessFunctionInfo = 13,  // two-export: answer the address of the shared info record
};

}  // namespace host_protocol
