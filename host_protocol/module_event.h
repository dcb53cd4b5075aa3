// Timed events from the host (and, in the single-export form, the module's own queue nodes).
#pragma once

#include <cstddef>
#include <cstdint>

#include "call_convention.h"

namespace host_protocol {

enum class EventType : int32_t {
    PinStatus = 0,     // data1: new PinStatus, data3: pin index; single-export also data2: value
    Data = 2,          // onDataEvent(time, data1, int16_t(data2))
    DeferredCall = 3,  // single-export, module-internal: data3 is a DeferredCall
    RunRoutine = 21,   // two-export: data3 is the code address of a module routine
};

// The host's event is the first five words; a single-export queue node adds `next`.
struct ModuleEvent {
    uint32_t time;  // sample position at which the event takes effect (wraps modulo 2^32)
    int32_t type;
    int32_t data1;
    int32_t data2;
    intptr_t data3;  // an integer or an address
    ModuleEvent* next;
};

#if PROTOCOL_LAYOUT_32
static_assert(offsetof(ModuleEvent, time) == 0);
static_assert(offsetof(ModuleEvent, type) == 4);
static_assert(offsetof(ModuleEvent, data1) == 8);
static_assert(offsetof(ModuleEvent, data2) == 12);
static_assert(offsetof(ModuleEvent, data3) == 16);
static_assert(offsetof(ModuleEvent, next) == 20);
static_assert(sizeof(ModuleEvent) == 24);
#endif

}  // namespace host_protocol
