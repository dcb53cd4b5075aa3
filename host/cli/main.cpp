// module-host: loads the plug-ins through their real exports, patches them together and renders
// them, so that a patch can be tried and checked without the host application.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"
#include "plugin_search.h"

namespace {

constexpr const char* kUsage =
    "usage: module-host info PLUGIN [--plugins DIR]\n"
    "       module-host render PATCH [--out DIR] [--csv] [--plugins DIR]\n"
    "\n"
    "  info    show a plug-in's name, id, about text and pins; PLUGIN is a path or a\n"
    "          deliverable name such as \"Kesh Clock\"\n"
    "  render  run a patch file and write PATCH-NAME.wav and PATCH-NAME.svg (and .csv with\n"
    "          --csv) into DIR (default: the current folder), then print a summary\n"
    "  --plugins DIR  search DIR first for plug-ins named by deliverable name (repeatable)\n";

struct Arguments {
    std::string command;
    std::vector<std::string> operands;
    std::vector<std::filesystem::path> pluginFolders;
    std::optional<std::filesystem::path> outFolder;
    bool csv = false;
};

// Returns false, after saying why, when the command line does not fit the usage.
bool parseArguments(int argc, char** argv, Arguments& arguments) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (argument == "--out" || argument == "--plugins") {
            const char* folder = value();
            if (folder == nullptr) {
                std::fprintf(stderr, "module-host: %s needs a folder\n", argument.c_str());
                return false;
            }
            if (argument == "--out")
                arguments.outFolder = folder;
            else
                arguments.pluginFolders.emplace_back(folder);
        } else if (argument == "--csv") {
            arguments.csv = true;
        } else if (argument.starts_with("--")) {
            std::fprintf(stderr, "module-host: unknown option %s\n", argument.c_str());
            return false;
        } else if (arguments.command.empty()) {
            arguments.command = argument;
        } else {
            arguments.operands.push_back(argument);
        }
    }
    bool known = arguments.command == "info" || arguments.command == "render";
    if (!known || arguments.operands.size() != 1) {
        if (!arguments.command.empty() && !known)
            std::fprintf(stderr, "module-host: unknown command %s\n", arguments.command.c_str());
        return false;
    }
    if (arguments.command == "info" && (arguments.outFolder || arguments.csv)) {
        std::fprintf(stderr, "module-host: --out and --csv belong to render\n");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        cli::PluginSearch search(arguments.pluginFolders);
        if (arguments.command == "info") return cli::runInfo(arguments.operands[0], search);
        cli::RenderOptions options;
        options.patchFile = arguments.operands[0];
        if (arguments.outFolder) options.outFolder = *arguments.outFolder;
        options.writeCsv = arguments.csv;
        return cli::runRender(options, search);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "module-host: %s\n", error.what());
        return 1;
    }
}
