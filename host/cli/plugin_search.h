// Where module-host finds a plug-in that a patch or the command line names.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace cli {

class PluginSearch {
  public:
    // Folders searched for deliverable names, in this order: `extraFolders` (from --plugins),
    // the program's own folder, plugins/ beside the program, and the plug-in folder of the
    // build that made the program.
    explicit PluginSearch(std::vector<std::filesystem::path> extraFolders);

    // A name with a folder part or a library suffix is a path, taken from `relativeTo` when it
    // is relative; any other name is a deliverable name ("Kesh Clock") searched in the folders.
    // Throws patch::PatchError listing where it looked.
    std::filesystem::path find(const std::string& name,
                               const std::filesystem::path& relativeTo) const;

  private:
    std::vector<std::filesystem::path> folders_;
};

}  // namespace cli
