// How a plug-in library declares its one export, `main`. Write, in one source file:
//
//     TRIGGER_MODULE_MAIN(ClockModule)
//
// C++ reserves the name main for the program's entry, so the export gets its name at link
// level: an assembler label on ELF, and on Windows the module-definition file main_export.def
// (added by add_trigger_plugin), which exports the C symbol singleExportMain as "main".
#pragma once

#include <new>

#include "host_protocol/call_convention.h"
#include "host_protocol/host_callback.h"
#include "host_protocol/single_export_record.h"

namespace trigger_framework {

// Allocates and constructs the module; answers its record, or null when memory runs out.
// Nothing escapes as an exception.
template <class Module>
host_protocol::single_export::ModuleRecord* createModule(
    host_protocol::HostCallback callback) noexcept {
    try {
        Module* module = new (std::nothrow) Module(callback);
        return module != nullptr ? module->getRecord() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace trigger_framework

#if defined(_WIN32)
#define TRIGGER_MAIN_VISIBILITY
#define TRIGGER_MAIN_LABEL
#else
#define TRIGGER_MAIN_VISIBILITY __attribute__((visibility("default")))
#define TRIGGER_MAIN_LABEL __asm__("main")
#endif

// Who calls: the host, once per instance it creates. Answers the new instance's record, or null
// when memory runs out; the library owns the instance until dispatcher opcode 1.
#define TRIGGER_MODULE_MAIN(ModuleClass)                                                         \
    extern "C" TRIGGER_MAIN_VISIBILITY host_protocol::single_export::ModuleRecord* PROTOCOL_CALL \
    singleExportMain(host_protocol::HostCallback callback) TRIGGER_MAIN_LABEL;                   \
    extern "C" host_protocol::single_export::ModuleRecord* PROTOCOL_CALL singleExportMain(       \
        host_protocol::HostCallback callback) {                                                  \
        return ::trigger_framework::createModule<ModuleClass>(callback);                         \
    }
