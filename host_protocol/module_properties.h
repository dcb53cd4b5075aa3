// The module-type description that the host asks for.
#pragma once

#include <cstddef>
#include <cstdint>

#include "call_convention.h"

namespace host_protocol {

// Provided by the host, filled by the module. Modules write `name`, `id`, `about` and (two-export
// form only) `interfaceVersion`; the texts are static storage of the library, never freed.
struct ModuleProperties {
    const char* name;
    const char* id;
    const char* about;         // lines separated by '\n'
    uint32_t reserved[2];      // not written by any module
    int32_t interfaceVersion;  // two-export form: 2230
};

inline constexpr int32_t kInterfaceVersion = 2230;

#if PROTOCOL_LAYOUT_32
static_assert(offsetof(ModuleProperties, name) == 0);
static_assert(offsetof(ModuleProperties, id) == 4);
static_assert(offsetof(ModuleProperties, about) == 8);
static_assert(offsetof(ModuleProperties, reserved) == 12);
static_assert(offsetof(ModuleProperties, interfaceVersion) == 20);
static_assert(sizeof(ModuleProperties) == 24);
#endif

}  // namespace host_protocol
