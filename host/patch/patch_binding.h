// Resolves a patch against its plug-ins and checks everything that needs them: unknown plug-ins
// and pins, values that do not fit their pin, connections that do not run from an output to an
// input, inputs driven twice, cycles of connections, changes after the end.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "bound_patch.h"
#include "loaded_plugin.h"
#include "patch.h"

namespace patch {

// Finds and loads the plug-in an instance names (a deliverable name or a path). Throws
// PatchError (without a place; binding adds it) when there is none.
using PluginLoader = std::function<std::shared_ptr<const LoadedPlugin>(const std::string& plugin)>;

// Throws PatchError naming the place of the first fault.
BoundPatch bindPatch(const Patch& patch, const PluginLoader& loadPlugin);

}  // namespace patch
