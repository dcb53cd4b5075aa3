// The commands of module-host. Each prints its result on stdout and returns the exit status;
// faults are thrown (patch::PatchError, host::LoadError, std::runtime_error) and reported by
// main.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plugin_search.h"

namespace cli {

// module-host info PLUGIN: the plug-in's properties and pins, as the host application shows them.
int runInfo(const std::string& plugin, const PluginSearch& search);

struct RenderOptions {
    std::filesystem::path patchFile;
    std::filesystem::path outFolder = ".";
    bool writeCsv = false;
};

// module-host render PATCH: runs the patch, writes <stem>.wav and <stem>.svg (and <stem>.csv)
// into the out folder and prints a summary. Nothing is written when the patch is faulty.
int runRender(const RenderOptions& options, const PluginSearch& search);

}  // namespace cli
