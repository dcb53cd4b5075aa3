// The host's callback and the opcodes a module sends through it.
#pragma once

#include <cstdint>

#include "call_convention.h"

namespace host_protocol {

// Who calls: the module, always passing its own record first and 0 as `opt`.
// Answer: opcode-specific; integer results that carry an address (opcode 7) are pointer-wide.
// A module whose callback is null treats every call as answered with 0.
using HostCallback = intptr_t(PROTOCOL_CALL*)(void* record, int32_t opcode, int32_t index,
                                              int32_t value, int32_t data, float opt);

enum class HostOpcode : int32_t {
    TransmitStatus = 0,   // index: output pin, value: new PinStatus, data: sample position
    QueryPin = 1,         // index: pin; answer tested for nonzero (single-export; unused)
    TextPinChanged = 2,   // index: Text pin, value: the event's value (single-export)
    SampleClock = 3,      // answer: the host's current sample position
    Opcode4 = 4,          // index: pin, value, data (single-export; unused)
    PinValue = 7,         // index: pin; answer: the pin's own value (a Stream buffer address)
    BufferPosition = 8,   // index: Stream pin; answer: sample position of buffer element 0
    SleepRequest = 10,    // the module's outputs have settled
    PinCount = 14,        // answer: number of pins the host keeps for the instance
    ProcessChanged = 22,  // two-export: the record's `process` field has just changed
};

}  // namespace host_protocol
