// A patch as the user wrote it: module instances, their pin settings, connections, timed pin
// changes and the pins to record. Names are still texts here; binding resolves them against the
// plug-ins (patch_binding.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace patch {

// "clk.Clock": an instance name and one of its pins' names.
struct PinRef {
    std::string instance;
    std::string pin;
    std::string where;  // place in the patch file, for messages

    std::string text() const { return instance + "." + pin; }
};

enum class Waveform { Constant, Sine, Square, Saw, Noise, WavFile };

// A signal source for a stream input. Levels are volts; the host divides by 10 for the stream.
struct GeneratorSpec {
    Waveform waveform = Waveform::Constant;
    double frequency = 0.0;      // hertz
    double amplitude = 0.0;      // volts; for a constant, its level
    double offset = 0.0;         // volts, added to every sample
    double phase = 0.0;          // cycles, 0 to 1, at sample 0
    uint32_t seed = 1;           // noise only
    std::filesystem::path file;  // WAV only; relative paths are taken from the patch's folder
    int channel = 0;             // WAV only; samples are stream values (1.0 = 10 V)
};

// What the user gives an input pin: a number (volts, a choice number, an integer), a text (the
// Function text, a choice name) or a generator.
using PinValue = std::variant<double, std::string, GeneratorSpec>;

struct PinSetting {
    std::string pin;
    PinValue value;
    std::string where;
};

struct InstanceSpec {
    std::string name;
    std::string plugin;  // deliverable name ("Kesh Clock") or a path to the library
    std::vector<PinSetting> settings;
    std::string where;
};

struct ConnectionSpec {
    PinRef from;  // an output pin
    PinRef to;    // an input pin
    std::string where;
};

struct ChangeSpec {
    double at = 0.0;  // seconds from the start
    PinRef pin;
    PinValue value;
    std::string where;
};

struct Patch {
    std::filesystem::path file;  // the patch file; its folder anchors relative paths
    double sampleRate = 44100.0;
    int32_t blockSize = 1024;
    double duration = 0.0;                // seconds
    std::vector<InstanceSpec> instances;  // in the order of the file
    std::vector<ConnectionSpec> connections;
    std::vector<ChangeSpec> changes;
    std::vector<PinRef> record;
};

}  // namespace patch
