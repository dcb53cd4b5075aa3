// What the host application shows of a module type: its properties and its pins, as texts the
// host keeps (copied out of the plug-in's static storage).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host_protocol/pin_properties.h"

namespace patch {

struct Choice {
    std::string name;
    int32_t value;
};

struct PinDescription {
    int32_t index = 0;
    std::string name;
    host_protocol::PinDirection direction = host_protocol::PinDirection::Input;
    host_protocol::PinDataType dataType = host_protocol::PinDataType::Stream;
    std::optional<std::string> defaultValue;
    std::optional<std::string> listText;  // enumeration choices or a stream's range text
    int32_t flags = 0;

    bool isInput() const { return direction == host_protocol::PinDirection::Input; }
    bool isStream() const { return dataType == host_protocol::PinDataType::Stream; }
};

struct ModuleDescription {
    std::string name;
    std::string id;
    std::string about;
    std::vector<PinDescription> pins;

    // The pin of that name, or null.
    const PinDescription* findPin(const std::string& pinName) const;
    // "Freq, Reset, Cycles, ..." for messages.
    std::string pinNames() const;
};

// An enumeration's list text: "Sample Rate=0,Sample Frames=1" (name=value pairs) or "Hz,BPM"
// (bare names numbered from 0).
std::vector<Choice> parseChoices(const std::string& listText);

// The name of a data type as the host shows it.
const char* dataTypeName(host_protocol::PinDataType type);

}  // namespace patch
