// The two-export form: exports getModuleProperties and makeModule; the host delivers events.
#pragma once

#include <cstddef>
#include <cstdint>

#include "call_convention.h"
#include "host_callback.h"
#include "module_event.h"
#include "module_properties.h"

namespace host_protocol::two_export {

inline constexpr uint32_t kMagic = 0x5345507b;  // "{PES" in memory order

struct ModuleRecord;

// Who calls: the host, with the record. Answer: per opcode (dispatcher_opcodes.h); 0 for a
// refusal or an opcode the form does not handle. Pointer-wide because opcode 13 answers an address.
using DispatcherEntry = intptr_t(PROTOCOL_CALL*)(ModuleRecord* record, int32_t opcode,
                                                 int32_t index, int32_t value, void* ptr,
                                                 float opt);

// Who calls: the host, once per block, with the instance (record offset 12). Processes buffer
// elements start .. start + count - 1 of every pin.
using ProcessFunction = void(PROTOCOL_CALL*)(void* instance, int32_t start, int32_t count);

// Who calls: the host, with the instance; the module acts on the event at once. The host owns
// the event.
using EventHandlerEntry = void(PROTOCOL_CALL*)(void* instance, ModuleEvent* event);

// A member of the instance; the export hands its address to the host, valid until opcode 1.
struct ModuleRecord {
    uint32_t magic;
    int32_t one;  // the integer 1
    void* hostData;
    void* instance;
    uint32_t reserved0;
    DispatcherEntry dispatcher;
    ProcessFunction process;  // the only field that changes after creation
    EventHandlerEntry eventHandler;
    uint32_t reserved1[4];
};

#if PROTOCOL_LAYOUT_32
static_assert(offsetof(ModuleRecord, magic) == 0);
static_assert(offsetof(ModuleRecord, one) == 4);
static_assert(offsetof(ModuleRecord, hostData) == 8);
static_assert(offsetof(ModuleRecord, instance) == 12);
static_assert(offsetof(ModuleRecord, reserved0) == 16);
static_assert(offsetof(ModuleRecord, dispatcher) == 20);
static_assert(offsetof(ModuleRecord, process) == 24);
static_assert(offsetof(ModuleRecord, eventHandler) == 28);
static_assert(offsetof(ModuleRecord, reserved1) == 32);
static_assert(sizeof(ModuleRecord) == 48);
#endif

// The instance's process-function slot: the code address, then three zero words.
struct ProcessFunctionSlot {
    ProcessFunction function;
    uint32_t zero[3];
};

#if PROTOCOL_LAYOUT_32
static_assert(offsetof(ProcessFunctionSlot, function) == 0);
static_assert(offsetof(ProcessFunctionSlot, zero) == 4);
static_assert(sizeof(ProcessFunctionSlot) == 16);
#endif

// The answer to dispatcher opcode 13: one record per library, rewritten by every such call.
struct ProcessFunctionInfo {
    int32_t one;       // the integer 1
    int32_t slotSize;  // 16
    ProcessFunctionSlot* slot;
    int32_t zero;
};

#if PROTOCOL_LAYOUT_32
static_assert(offsetof(ProcessFunctionInfo, one) == 0);
static_assert(offsetof(ProcessFunctionInfo, slotSize) == 4);
static_assert(offsetof(ProcessFunctionInfo, slot) == 8);
static_assert(offsetof(ProcessFunctionInfo, zero) == 12);
static_assert(sizeof(ProcessFunctionInfo) == 16);
#endif

// Export "getModuleProperties". Who calls: the host, before creating instances. Writes
// interfaceVersion = 2230 whatever the index; answers 1 and fills name/id/about for index 0,
// 0 for any other index.
using GetModulePropertiesExport = int32_t(PROTOCOL_CALL*)(int32_t index, ModuleProperties* props);

// Export "makeModule". Answers the new instance's record, or null for index != 0, kind != 1 or
// when memory runs out. The library owns the instance until dispatcher opcode 1.
using MakeModuleExport = ModuleRecord*(PROTOCOL_CALL*)(int32_t index, int32_t kind,
                                                       HostCallback callback, void* hostData);

}  // namespace host_protocol::two_export
