// The short report module-host render prints: per recorded pin its range, mean and rising
// edges; per instance its status reports, sleep requests and processing cost.
#pragma once

#include <cstdio>
#include <filesystem>
#include <vector>

#include "host/patch/bound_patch.h"
#include "host/patch/patch_runner.h"

namespace cli {

void printRenderSummary(FILE* out, const patch::BoundPatch& patch,
                        const patch::RenderResult& result,
                        const std::vector<std::filesystem::path>& written);

}  // namespace cli
