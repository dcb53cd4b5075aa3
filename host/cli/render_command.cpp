#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "commands.h"
#include "host/patch/loaded_plugin.h"
#include "host/patch/output_files.h"
#include "host/patch/patch_binding.h"
#include "host/patch/patch_reader.h"
#include "host/patch/patch_runner.h"
#include "render_summary.h"

namespace cli {
namespace {

// Writes every output or none: a file already written is removed again when a later one fails.
std::vector<std::filesystem::path> writeOutputs(const RenderOptions& options,
                                                const patch::Recording& recording) {
    std::filesystem::create_directories(options.outFolder);
    std::string stem = options.patchFile.stem().string();
    std::vector<std::filesystem::path> written;
    try {
        written.push_back(options.outFolder / (stem + ".wav"));
        patch::writeWav(written.back(), recording);
        written.push_back(options.outFolder / (stem + ".svg"));
        patch::writeScopeSvg(written.back(), recording);
        if (options.writeCsv) {
            written.push_back(options.outFolder / (stem + ".csv"));
            patch::writeCsv(written.back(), recording);
        }
    } catch (...) {
        std::error_code ignored;
        for (const auto& file : written) std::filesystem::remove(file, ignored);
        throw;
    }
    return written;
}

}  // namespace

int runRender(const RenderOptions& options, const PluginSearch& search) {
    patch::Patch patch = patch::readPatchFile(options.patchFile);
    std::filesystem::path patchFolder = std::filesystem::absolute(options.patchFile).parent_path();
    patch::BoundPatch bound = patch::bindPatch(patch, [&](const std::string& name) {
        return std::make_shared<const patch::LoadedPlugin>(search.find(name, patchFolder).string());
    });
    patch::RenderResult result = patch::renderPatch(bound);
    std::vector<std::filesystem::path> written = writeOutputs(options, result.recording);
    printRenderSummary(stdout, bound, result, written);
    return 0;
}

}  // namespace cli
