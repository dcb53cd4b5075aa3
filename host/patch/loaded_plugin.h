// A plug-in library of either protocol form, loaded through its real exports: two-export
// (getModuleProperties, makeModule) or single-export (main).
#pragma once

#include <memory>
#include <string>

#include "host/instance.h"
#include "host/single_export_host.h"
#include "host/two_export_host.h"
#include "module_description.h"

namespace patch {

class LoadedPlugin {
  public:
    // Loads the library and tells its form by its exports. Throws host::LoadError when it cannot
    // be loaded or has the exports of neither form.
    explicit LoadedPlugin(const std::string& path);

    // Properties and pins as the host reads them: through getModuleProperties or dispatcher
    // opcode 9, then dispatcher opcode 6 on a fresh instance, which is closed again.
    const ModuleDescription& description() const { return description_; }

    bool isTwoExport() const { return twoExport_ != nullptr; }
    const std::string& path() const { return path_; }

    // A new instance, not yet opened. Throws host::LoadError when the export refuses.
    std::unique_ptr<host::Instance> create() const;

  private:
    ModuleDescription describe() const;

    std::string path_;
    std::unique_ptr<host::TwoExportPlugin> twoExport_;
    std::unique_ptr<host::SingleExportPlugin> singleExport_;
    ModuleDescription description_;
};

}  // namespace patch
