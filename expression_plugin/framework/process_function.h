// Process functions and module routines as the host calls them: C-convention routines that
// take the instance first. Member routines of a module are reached through one trampoline per
// routine, so each routine has exactly one code address and switching can compare addresses.
#pragma once

#include <cstdint>

#include "host_protocol/call_convention.h"
#include "host_protocol/two_export_record.h"

namespace two_export_framework {

class ModuleBase;

// Who calls: the host, once per block, through the record's `process` field, with the instance
// (the ModuleBase*), the first buffer element and the number of samples.
using ProcessFunction = host_protocol::two_export::ProcessFunction;

// Who calls: the framework, for a type-21 event whose data3 holds the routine's code address.
using ModuleRoutine = void(PROTOCOL_CALL*)(void* instance);

namespace detail {

template <class T>
struct MemberOf;
template <class M>
struct MemberOf<void (M::*)(int32_t, int32_t)> {
    using Module = M;
};
template <class M>
struct MemberOf<void (M::*)(int32_t, int32_t) noexcept> {
    using Module = M;
};
template <class M>
struct MemberOf<void (M::*)()> {
    using Module = M;
};
template <class M>
struct MemberOf<void (M::*)() noexcept> {
    using Module = M;
};

template <auto Routine>
using ModuleOf = typename MemberOf<decltype(Routine)>::Module;

}  // namespace detail

// processTrampoline<&MyModule::processSamples> is the ProcessFunction that runs that member
// routine; pass it to setProcessFunction.
template <auto Routine>
void PROTOCOL_CALL processTrampoline(void* instance, int32_t start, int32_t count) {
    using Module = detail::ModuleOf<Routine>;
    (static_cast<Module*>(static_cast<ModuleBase*>(instance))->*Routine)(start, count);
}

// routineTrampoline<&MyModule::reset> is the code address a host puts in a type-21 event's
// data3 to run that member routine on the instance.
template <auto Routine>
void PROTOCOL_CALL routineTrampoline(void* instance) {
    using Module = detail::ModuleOf<Routine>;
    (static_cast<Module*>(static_cast<ModuleBase*>(instance))->*Routine)();
}

}  // namespace two_export_framework
