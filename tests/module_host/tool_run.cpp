#include "tool_run.h"

#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace module_host_test {
namespace {

std::string readFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

}  // namespace

ToolRun runModuleHost(const std::vector<std::string>& arguments,
                      const std::filesystem::path& folder) {
    std::filesystem::path outFile = folder / ".module-host.out";
    std::filesystem::path errFile = folder / ".module-host.err";
    std::vector<std::string> argv = {MODULE_HOST_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argp;
    for (std::string& argument : argv) argp.push_back(argument.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t child = 0;
    int spawned = posix_spawn(&child, argp[0], &actions, nullptr, argp.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);

    int status = 0;
    waitpid(child, &status, 0);
    ToolRun run;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(outFile);
    run.err = readFile(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return run;
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "module-host-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScratchFolder::write(const std::string& name, const std::string& text) const {
    std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

std::vector<std::string> ScratchFolder::filesIn(const std::string& subfolder) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path_ / subfolder, error))
        names.push_back(entry.path().filename().string());
    return names;
}

std::vector<std::string> summaryRow(const std::string& summary, const std::string& first) {
    std::istringstream lines(summary);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        size_t position = line.find_first_not_of(' ');
        while (position != std::string::npos) {
            size_t end = line.find("  ", position);
            cells.push_back(line.substr(position, end - position));
            position = end == std::string::npos ? end : line.find_first_not_of(' ', end);
        }
        if (!cells.empty() && cells.front() == first) return cells;
    }
    return {};
}

std::vector<std::vector<float>> readWavChannels(const std::filesystem::path& file) {
    SF_INFO info{};
    SNDFILE* wav = sf_open(file.c_str(), SFM_READ, &info);
    if (wav == nullptr) throw std::runtime_error("cannot read " + file.string());
    std::vector<float> frames(size_t(info.frames) * size_t(info.channels));
    sf_readf_float(wav, frames.data(), info.frames);
    sf_close(wav);
    std::vector<std::vector<float>> channels(size_t(info.channels),
                                             std::vector<float>(size_t(info.frames)));
    for (size_t frame = 0; frame < size_t(info.frames); ++frame)
        for (size_t channel = 0; channel < channels.size(); ++channel)
            channels[channel][frame] = frames[frame * channels.size() + channel];
    return channels;
}

}  // namespace module_host_test
