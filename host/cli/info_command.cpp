#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "commands.h"
#include "host/patch/loaded_plugin.h"
#include "host/patch/module_description.h"

namespace cli {
namespace {

using host_protocol::PinDataType;

std::string defaultText(const patch::PinDescription& pin) {
    if (!pin.defaultValue) return "-";
    if (pin.isStream()) return *pin.defaultValue + " V";
    if (pin.dataType == PinDataType::Text) return "\"" + *pin.defaultValue + "\"";
    return *pin.defaultValue;
}

std::string choicesOrRange(const patch::PinDescription& pin) {
    if (!pin.listText) return "";
    if (pin.dataType != PinDataType::Enumeration) return "range " + *pin.listText;
    std::string list;
    for (const patch::Choice& choice : patch::parseChoices(*pin.listText))
        list += (list.empty() ? "" : ", ") + choice.name + " = " + std::to_string(choice.value);
    return list;
}

void printPins(const patch::ModuleDescription& module) {
    std::vector<std::vector<std::string>> rows = {
        {"#", "Name", "Direction", "Type", "Default", "Choices / range"}};
    for (const patch::PinDescription& pin : module.pins)
        rows.push_back({std::to_string(pin.index), pin.name, pin.isInput() ? "input" : "output",
                        patch::dataTypeName(pin.dataType), defaultText(pin), choicesOrRange(pin)});
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    for (const auto& row : rows) {
        std::string line = " ";
        for (size_t column = 0; column < row.size(); ++column) {
            line += "  " + row[column];
            if (column + 1 < row.size())
                line += std::string(widths[column] - row[column].size(), ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::printf("%s\n", line.c_str());
    }
}

}  // namespace

int runInfo(const std::string& plugin, const PluginSearch& search) {
    std::filesystem::path path = search.find(plugin, std::filesystem::current_path());
    patch::LoadedPlugin loaded(path.string());
    const patch::ModuleDescription& module = loaded.description();
    std::printf("Plug-in: %s\n", path.string().c_str());
    std::printf("Form:    %s\n", loaded.isTwoExport()
                                     ? "two exports (getModuleProperties, makeModule)"
                                     : "single export (main)");
    std::printf("Name:    %s\n", module.name.c_str());
    std::printf("Id:      %s\n", module.id.c_str());
    std::printf("\nAbout:\n");
    size_t start = 0;
    while (start <= module.about.size()) {
        size_t end = module.about.find('\n', start);
        if (end == std::string::npos) end = module.about.size();
        std::printf("  %s\n", module.about.substr(start, end - start).c_str());
        start = end + 1;
    }
    std::printf("\nPins:\n");
    printPins(module);
    return 0;
}

}  // namespace cli
