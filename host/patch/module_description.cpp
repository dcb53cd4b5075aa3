#include "module_description.h"

#include <charconv>

namespace patch {

const PinDescription* ModuleDescription::findPin(const std::string& pinName) const {
    for (const PinDescription& pin : pins)
        if (pin.name == pinName) return &pin;
    return nullptr;
}

std::string ModuleDescription::pinNames() const {
    std::string names;
    for (const PinDescription& pin : pins) names += (names.empty() ? "" : ", ") + pin.name;
    return names;
}

std::vector<Choice> parseChoices(const std::string& listText) {
    std::vector<Choice> choices;
    size_t start = 0;
    while (start <= listText.size()) {
        size_t comma = listText.find(',', start);
        if (comma == std::string::npos) comma = listText.size();
        std::string item = listText.substr(start, comma - start);
        Choice choice{item, int32_t(choices.size())};
        if (size_t equals = item.rfind('='); equals != std::string::npos) {
            int32_t value = 0;
            const char* first = item.data() + equals + 1;
            const char* last = item.data() + item.size();
            auto [end, error] = std::from_chars(first, last, value);
            if (error == std::errc() && end == last) choice = {item.substr(0, equals), value};
        }
        if (!item.empty()) choices.push_back(choice);
        start = comma + 1;
    }
    return choices;
}

const char* dataTypeName(host_protocol::PinDataType type) {
    using host_protocol::PinDataType;
    switch (type) {
        case PinDataType::Enumeration:
            return "Enumeration";
        case PinDataType::Text:
            return "Text";
        case PinDataType::Boolean:
            return "Boolean";
        case PinDataType::Stream:
            return "Stream";
        case PinDataType::Integer:
            return "Integer";
        case PinDataType::Word:
            return "Word";
    }
    return "unknown";
}

}  // namespace patch
