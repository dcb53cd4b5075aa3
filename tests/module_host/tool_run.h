// Runs module-host as a user does: a separate process with its own arguments, its output
// captured, in a scratch folder of its own.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace module_host_test {

struct ToolRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// Runs the module-host program of this build with `arguments`, in `folder`.
ToolRun runModuleHost(const std::vector<std::string>& arguments,
                      const std::filesystem::path& folder);

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `text` into a file of that name in the folder and answers its path.
    std::filesystem::path write(const std::string& name, const std::string& text) const;
    // The names of the files in `subfolder`, or none when it does not exist.
    std::vector<std::string> filesIn(const std::string& subfolder) const;

  private:
    std::filesystem::path path_;
};

// The cells of the summary row whose first cell is `first` (cells are separated by two or more
// spaces), or none when there is no such row.
std::vector<std::string> summaryRow(const std::string& summary, const std::string& first);

// Every channel of a WAV file, as float samples.
std::vector<std::vector<float>> readWavChannels(const std::filesystem::path& file);

}  // namespace module_host_test
