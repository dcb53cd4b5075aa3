#include "plugin_search.h"

#include <system_error>

#include "host/patch/patch_error.h"

namespace cli {
namespace {

std::filesystem::path programFolder() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

bool looksLikePath(const std::string& name) {
    std::filesystem::path path(name);
    return path.has_parent_path() || path.extension() == MODULE_HOST_PLUGIN_SUFFIX;
}

}  // namespace

PluginSearch::PluginSearch(std::vector<std::filesystem::path> extraFolders)
    : folders_(std::move(extraFolders)) {
    std::filesystem::path program = programFolder();
    if (!program.empty()) {
        folders_.push_back(program);
        folders_.push_back(program / "plugins");
    }
    std::filesystem::path build(MODULE_HOST_BUILD_PLUGIN_DIR);
    std::error_code error;
    bool known = false;
    for (const auto& folder : folders_)
        known = known || std::filesystem::equivalent(folder, build, error);
    if (!known) folders_.push_back(build);
}

std::filesystem::path PluginSearch::find(const std::string& name,
                                         const std::filesystem::path& relativeTo) const {
    if (looksLikePath(name)) {
        std::filesystem::path path(name);
        if (path.is_relative()) path = relativeTo / path;
        if (!std::filesystem::is_regular_file(path))
            throw patch::PatchError("", "no plug-in file \"" + path.string() + "\"");
        return path;
    }
    std::string looked;
    for (const std::filesystem::path& folder : folders_) {
        std::filesystem::path candidate = folder / (name + MODULE_HOST_PLUGIN_SUFFIX);
        if (std::filesystem::is_regular_file(candidate)) return candidate;
        looked += (looked.empty() ? "" : ", ") + folder.string();
    }
    throw patch::PatchError("", "unknown plug-in \"" + name + "\" (looked for \"" + name +
                                    MODULE_HOST_PLUGIN_SUFFIX + "\" in " + looked + ")");
}

}  // namespace cli
