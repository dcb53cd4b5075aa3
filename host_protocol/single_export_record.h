// The single-export form: one export, main; the module queues timed events itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "call_convention.h"
#include "host_callback.h"

namespace host_protocol::single_export {

inline constexpr uint32_t kMagic = 0x5345507b;  // "{PES" in memory order

struct ModuleRecord;

// Who calls: the host, with the record. Answer: per opcode (dispatcher_opcodes.h); 0 for a
// refusal or an opcode the form does not handle.
using DispatcherEntry = intptr_t(PROTOCOL_CALL*)(ModuleRecord* record, int32_t opcode,
                                                 int32_t index, int32_t value, void* ptr,
                                                 float opt);

// Who calls: the host, once per block, with the record. The module splits the block at the
// times of its queued events.
using ProcessEntry = void(PROTOCOL_CALL*)(ModuleRecord* record, int32_t start, int32_t count);

// A member of the instance; no field changes after creation.
struct ModuleRecord {
    uint32_t magic;
    DispatcherEntry dispatcher;
    uint32_t reserved0[6];
    void* instance;
    uint32_t reserved1;
    int32_t one;  // the integer 1
    ProcessEntry process;
    uint32_t reserved2[15];
};

#if PROTOCOL_LAYOUT_32
static_assert(offsetof(ModuleRecord, magic) == 0);
static_assert(offsetof(ModuleRecord, dispatcher) == 4);
static_assert(offsetof(ModuleRecord, reserved0) == 8);
static_assert(offsetof(ModuleRecord, instance) == 32);
static_assert(offsetof(ModuleRecord, reserved1) == 36);
static_assert(offsetof(ModuleRecord, one) == 40);
static_assert(offsetof(ModuleRecord, process) == 44);
static_assert(offsetof(ModuleRecord, reserved2) == 48);
static_assert(sizeof(ModuleRecord) == 108);
#endif

// Export "main". Answers the new instance's record, or null when memory runs out. Module
// properties are then read through dispatcher opcode 9.
using MainExport = ModuleRecord*(PROTOCOL_CALL*)(HostCallback callback);

}  // namespace host_protocol::single_export
