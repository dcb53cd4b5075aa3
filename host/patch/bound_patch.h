// A patch resolved against its plug-ins: every name is a loaded plug-in or a pin index, every
// value has the form its pin takes, the instances stand in the order they are processed and the
// timed changes in the order of their samples.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "loaded_plugin.h"
#include "patch.h"

namespace patch {

struct BoundPin {
    size_t instance;  // index into BoundPatch::instances
    int32_t pin;

    bool operator==(const BoundPin&) const = default;
};

// The value of an input pin that no connection drives.
struct StreamVolts {
    double volts;
};
struct TextValue {
    std::string text;
};
struct ChoiceValue {
    int16_t value;
    std::string name;
};
struct IntegerValue {
    int32_t value;
};
using InputValue = std::variant<StreamVolts, GeneratorSpec, TextValue, ChoiceValue, IntegerValue>;

struct BoundInstance {
    std::string name;
    std::shared_ptr<const LoadedPlugin> plugin;
    // One entry per described pin; outputs and connected inputs keep their default entry,
    // which nothing reads.
    std::vector<InputValue> initialValues;
    std::vector<bool> connected;  // per pin: an input driven by a connection
};

struct BoundConnection {
    BoundPin from;  // an output Stream pin
    BoundPin to;    // an input Stream pin
};

struct BoundChange {
    uint64_t sample;
    BoundPin pin;
    InputValue value;
    std::string label;  // "clk.Reset = 5 V", for pictures
    std::string where;  // place in the patch, for messages
};

struct BoundRecord {
    BoundPin pin;
    std::string name;  // "clk.Clock"
};

struct BoundPatch {
    double sampleRate = 44100.0;
    int32_t blockSize = 1024;
    uint64_t sampleCount = 0;
    std::vector<BoundInstance> instances;  // upstream before downstream
    std::vector<BoundConnection> connections;
    std::vector<BoundChange> changes;  // by sample, then in the order of the file
    std::vector<BoundRecord> record;
};

}  // namespace patch
