#include "patch_reader.h"

#include <cmath>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "patch_error.h"

namespace patch {
namespace {

using Json = nlohmann::ordered_json;

// Host sample positions are 32-bit and every recorded pin is held in memory: a patch longer
// than this is refused rather than left to exhaust memory.
constexpr double kMaxSamples = 67108864.0;
constexpr int32_t kMaxBlockSize = 65536;
constexpr double kMaxSampleRate = 1.0e6;

std::string member(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
}

std::string element(const std::string& where, size_t index) {
    return where + "[" + std::to_string(index) + "]";
}

void requireObject(const Json& value, const std::string& where) {
    if (!value.is_object()) throw PatchError(where, "expected an object");
}

void requireArray(const Json& value, const std::string& where) {
    if (!value.is_array()) throw PatchError(where, "expected an array");
}

// A misspelt key would otherwise be ignored silently and the patch run with a default.
void rejectUnknownKeys(const Json& object, const std::string& where,
                       std::initializer_list<const char*> known) {
    for (const auto& item : object.items()) {
        bool found = false;
        for (const char* key : known) found = found || item.key() == key;
        if (!found) throw PatchError(member(where, item.key()), "unknown key");
    }
}

const Json& required(const Json& object, const char* key, const std::string& where) {
    auto it = object.find(key);
    if (it == object.end()) throw PatchError(member(where, key), "missing");
    return *it;
}

double readNumber(const Json& value, const std::string& where) {
    if (!value.is_number()) throw PatchError(where, "expected a number");
    double number = value.get<double>();
    if (!std::isfinite(number)) throw PatchError(where, "expected a finite number");
    return number;
}

double readPositive(const Json& value, const std::string& where) {
    double number = readNumber(value, where);
    if (number <= 0.0) throw PatchError(where, "must be greater than 0");
    return number;
}

std::string readString(const Json& value, const std::string& where) {
    if (!value.is_string()) throw PatchError(where, "expected a text");
    return value.get<std::string>();
}

int64_t readInteger(const Json& value, const std::string& where, int64_t low, int64_t high) {
    if (!value.is_number_integer()) throw PatchError(where, "expected a whole number");
    int64_t number = value.get<int64_t>();
    if (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(high)) number = high + 1;
    if (number < low || number > high)
        throw PatchError(
            where, "must lie between " + std::to_string(low) + " and " + std::to_string(high));
    return number;
}

PinRef readPinRef(const Json& value, const std::string& where) {
    std::string text = readString(value, where);
    auto dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size())
        throw PatchError(where, "expected \"instance.pin\", found \"" + text + "\"");
    return PinRef{text.substr(0, dot), text.substr(dot + 1), where};
}

Waveform readWaveform(const Json& value, const std::string& where) {
    static constexpr struct {
        const char* name;
        Waveform waveform;
    } kWaveforms[] = {{"constant", Waveform::Constant}, {"sine", Waveform::Sine},
                      {"square", Waveform::Square},     {"saw", Waveform::Saw},
                      {"noise", Waveform::Noise},       {"wav", Waveform::WavFile}};
    std::string name = readString(value, where);
    for (const auto& entry : kWaveforms)
        if (name == entry.name) return entry.waveform;
    throw PatchError(where,
                     "unknown signal \"" + name + "\" (constant, sine, square, saw, noise or wav)");
}

GeneratorSpec readGenerator(const Json& object, const std::string& where,
                            const std::filesystem::path& baseDir) {
    rejectUnknownKeys(
        object, where,
        {"signal", "frequency", "amplitude", "offset", "phase", "seed", "file", "channel"});
    GeneratorSpec generator;
    generator.waveform = readWaveform(required(object, "signal", where), member(where, "signal"));
    auto optionalNumber = [&](const char* key, double& field) {
        if (auto it = object.find(key); it != object.end())
            field = readNumber(*it, member(where, key));
    };
    optionalNumber("frequency", generator.frequency);
    optionalNumber("amplitude", generator.amplitude);
    optionalNumber("offset", generator.offset);
    optionalNumber("phase", generator.phase);
    if (auto it = object.find("seed"); it != object.end())
        generator.seed = uint32_t(readInteger(*it, member(where, "seed"), 0, 0xFFFFFFFF));
    if (auto it = object.find("channel"); it != object.end())
        generator.channel = int(readInteger(*it, member(where, "channel"), 0, 255));
    bool periodic = generator.waveform == Waveform::Sine ||
                    generator.waveform == Waveform::Square || generator.waveform == Waveform::Saw;
    if (periodic && object.find("frequency") == object.end())
        throw PatchError(member(where, "frequency"), "missing");
    if (generator.waveform == Waveform::WavFile) {
        std::filesystem::path file =
            readString(required(object, "file", where), member(where, "file"));
        generator.file = file.is_absolute() ? file : baseDir / file;
    }
    return generator;
}

PinValue readPinValue(const Json& value, const std::string& where,
                      const std::filesystem::path& baseDir) {
    if (value.is_number()) return readNumber(value, where);
    if (value.is_string()) return value.get<std::string>();
    if (value.is_object()) return readGenerator(value, where, baseDir);
    throw PatchError(where, "expected a number, a text or a signal object");
}

InstanceSpec readInstance(const std::string& name, const Json& object, const std::string& where,
                          const std::filesystem::path& baseDir) {
    requireObject(object, where);
    rejectUnknownKeys(object, where, {"plugin", "pins"});
    InstanceSpec instance{
        name, readString(required(object, "plugin", where), member(where, "plugin")), {}, where};
    if (name.find('.') != std::string::npos)
        throw PatchError(where, "an instance name cannot contain '.'");
    if (auto pins = object.find("pins"); pins != object.end()) {
        std::string pinsWhere = member(where, "pins");
        requireObject(*pins, pinsWhere);
        for (const auto& item : pins->items()) {
            std::string pinWhere = member(pinsWhere, item.key());
            instance.settings.push_back(
                {item.key(), readPinValue(item.value(), pinWhere, baseDir), pinWhere});
        }
    }
    return instance;
}

ConnectionSpec readConnection(const Json& object, const std::string& where) {
    requireObject(object, where);
    rejectUnknownKeys(object, where, {"from", "to"});
    return ConnectionSpec{readPinRef(required(object, "from", where), member(where, "from")),
                          readPinRef(required(object, "to", where), member(where, "to")), where};
}

ChangeSpec readChange(const Json& object, const std::string& where,
                      const std::filesystem::path& baseDir) {
    requireObject(object, where);
    rejectUnknownKeys(object, where, {"at", "pin", "value"});
    ChangeSpec change;
    change.where = where;
    change.at = readNumber(required(object, "at", where), member(where, "at"));
    if (change.at < 0.0) throw PatchError(member(where, "at"), "must not be negative");
    change.pin = readPinRef(required(object, "pin", where), member(where, "pin"));
    change.value = readPinValue(required(object, "value", where), member(where, "value"), baseDir);
    return change;
}

// "line 3, column 7" for a byte offset, counted the way an editor shows it.
std::string lineAndColumn(const std::string& text, size_t byte) {
    size_t end = std::min(byte, text.size());
    size_t line = 1, column = 1;
    for (size_t i = 0; i + 1 < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// nlohmann's message without its exception tag and position prefix.
std::string parseDetail(const nlohmann::json::parse_error& error) {
    std::string text = error.what();
    auto position = text.find("parse error");
    auto colon = text.find(": ", position == std::string::npos ? 0 : position);
    return colon == std::string::npos ? text : text.substr(colon + 2);
}

}  // namespace

Patch parsePatch(const std::string& text, const std::filesystem::path& file) {
    std::string name = file.filename().string();
    Json root;
    try {
        root = Json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        throw PatchError(name + ": " + lineAndColumn(text, error.byte),
                         "malformed JSON: " + parseDetail(error));
    }
    try {
        requireObject(root, "");
        rejectUnknownKeys(root, "",
                          {"sampleRate", "blockSize", "duration", "instances", "connections",
                           "changes", "record"});
        std::filesystem::path baseDir = file.parent_path();
        Patch patch;
        patch.file = file;
        if (auto it = root.find("sampleRate"); it != root.end()) {
            patch.sampleRate = readPositive(*it, "sampleRate");
            if (patch.sampleRate > kMaxSampleRate)
                throw PatchError("sampleRate", "must not exceed 1000000");
        }
        if (auto it = root.find("blockSize"); it != root.end())
            patch.blockSize = int32_t(readInteger(*it, "blockSize", 1, kMaxBlockSize));
        patch.duration = readPositive(required(root, "duration", ""), "duration");
        if (patch.duration * patch.sampleRate > kMaxSamples)
            throw PatchError("duration", "too long: at most 67108864 samples can be rendered");

        const Json& instances = required(root, "instances", "");
        requireObject(instances, "instances");
        if (instances.empty()) throw PatchError("instances", "the patch has no instance");
        for (const auto& item : instances.items())
            patch.instances.push_back(
                readInstance(item.key(), item.value(), member("instances", item.key()), baseDir));

        if (auto it = root.find("connections"); it != root.end()) {
            requireArray(*it, "connections");
            for (size_t i = 0; i < it->size(); ++i)
                patch.connections.push_back(readConnection((*it)[i], element("connections", i)));
        }
        if (auto it = root.find("changes"); it != root.end()) {
            requireArray(*it, "changes");
            for (size_t i = 0; i < it->size(); ++i)
                patch.changes.push_back(readChange((*it)[i], element("changes", i), baseDir));
        }
        const Json& record = required(root, "record", "");
        requireArray(record, "record");
        if (record.empty()) throw PatchError("record", "names no pin to record");
        for (size_t i = 0; i < record.size(); ++i)
            patch.record.push_back(readPinRef(record[i], element("record", i)));
        return patch;
    } catch (const PatchError& error) {
        throw PatchError(name, error.what());
    }
}

Patch readPatchFile(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) throw PatchError(file.string(), "cannot open the patch file");
    std::ostringstream text;
    text << stream.rdbuf();
    return parsePatch(text.str(), file);
}

}  // namespace patch
