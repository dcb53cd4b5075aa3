// The two exports of a two-export plug-in, generic over its module class. A plug-in's export
// source holds exactly one line:
//   TWO_EXPORT_MODULE(ExpressionModule)
// The module class provides `static bool getProperties(host_protocol::ModuleProperties*)` and a
// constructor taking (HostCallback, void* hostData).
#pragma once

#include <cstdint>
#include <new>

#include "host_protocol/call_convention.h"
#include "host_protocol/host_callback.h"
#include "host_protocol/module_properties.h"
#include "host_protocol/two_export_record.h"

namespace two_export_framework {

// getModuleProperties: writes the interface version whatever the index; the library holds one
// module type, at index 0.
template <class Module>
int32_t exportModuleProperties(int32_t index, host_protocol::ModuleProperties* props) noexcept {
    props->interfaceVersion = host_protocol::kInterfaceVersion;
    if (index != 0) return 0;
    try {
        return Module::getProperties(props) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// makeModule: only index 0, kind 1 creates an instance; null for a refusal or when the instance
// cannot be made. The library owns the instance until dispatcher opcode 1.
template <class Module>
host_protocol::two_export::ModuleRecord* exportMakeModule(int32_t index, int32_t kind,
                                                          host_protocol::HostCallback callback,
                                                          void* hostData) noexcept {
    if (index != 0 || kind != 1) return nullptr;
    try {
        Module* module = new (std::nothrow) Module(callback, hostData);
        return module != nullptr ? module->moduleRecord() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace two_export_framework

#define TWO_EXPORT_MODULE(ModuleClass)                                                       \
    PROTOCOL_EXPORT int32_t PROTOCOL_CALL getModuleProperties(                               \
        int32_t index, host_protocol::ModuleProperties* props) {                             \
        return two_export_framework::exportModuleProperties<ModuleClass>(index, props);      \
    }                                                                                        \
    PROTOCOL_EXPORT host_protocol::two_export::ModuleRecord* PROTOCOL_CALL makeModule(       \
        int32_t index, int32_t kind, host_protocol::HostCallback callback, void* hostData) { \
        return two_export_framework::exportMakeModule<ModuleClass>(index, kind, callback,    \
                                                                   hostData);                \
    }                                                                                        \
    static_assert(true, "")
