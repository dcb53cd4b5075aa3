#include "patch_binding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>

#include "host/plugin_library.h"
#include "patch_error.h"
#include "signal_generator.h"

namespace patch {
namespace {

using host_protocol::PinDataType;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string formatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string choiceList(const std::vector<Choice>& choices) {
    std::string list;
    for (const Choice& choice : choices)
        list += (list.empty() ? "" : ", ") + quoted(choice.name) + " (" +
                std::to_string(choice.value) + ")";
    return list;
}

std::optional<int64_t> wholeNumber(double value) {
    if (std::floor(value) != value || std::fabs(value) > 2147483647.0) return std::nullopt;
    return int64_t(value);
}

InputValue choiceValue(const PinValue& value, const PinDescription& pin, const std::string& where) {
    std::vector<Choice> choices = parseChoices(pin.listText.value_or(""));
    if (const auto* name = std::get_if<std::string>(&value)) {
        for (const Choice& choice : choices)
            if (choice.name == *name) return ChoiceValue{int16_t(choice.value), choice.name};
        throw PatchError(where, quoted(*name) + " is not a choice of " + quoted(pin.name) +
                                    "; its choices are " + choiceList(choices));
    }
    if (const auto* number = std::get_if<double>(&value)) {
        std::optional<int64_t> whole = wholeNumber(*number);
        for (const Choice& choice : choices)
            if (whole && *whole == choice.value)
                return ChoiceValue{int16_t(choice.value), choice.name};
        throw PatchError(where, formatNumber(*number) + " is not a choice of " + quoted(pin.name) +
                                    "; its choices are " + choiceList(choices));
    }
    throw PatchError(where, quoted(pin.name) + " takes a choice name or number");
}

InputValue inputValue(const PinValue& value, const PinDescription& pin, double sampleRate,
                      const std::string& where) {
    switch (pin.dataType) {
        case PinDataType::Stream:
            if (const auto* number = std::get_if<double>(&value)) return StreamVolts{*number};
            if (const auto* generator = std::get_if<GeneratorSpec>(&value)) {
                // Reading a WAV file now reports a missing file before anything runs.
                SignalGenerator check(*generator, sampleRate, where);
                return *generator;
            }
            throw PatchError(where, quoted(pin.name) + " is a stream: give volts or a signal");
        case PinDataType::Text:
            if (const auto* text = std::get_if<std::string>(&value)) return TextValue{*text};
            throw PatchError(where, quoted(pin.name) + " takes a text");
        case PinDataType::Enumeration:
            return choiceValue(value, pin, where);
        case PinDataType::Integer:
        case PinDataType::Boolean:
            if (const auto* number = std::get_if<double>(&value))
                if (std::optional<int64_t> whole = wholeNumber(*number))
                    return IntegerValue{
                        int32_t(pin.dataType == PinDataType::Boolean ? *whole != 0 : *whole)};
            throw PatchError(where, quoted(pin.name) + " takes a whole number");
        case PinDataType::Word:
            break;
    }
    throw PatchError(where,
                     "pins of data type " + std::to_string(int(pin.dataType)) + " cannot be set");
}

// What the host sets a pin to when the patch leaves it alone: its default text.
InputValue defaultValue(const PinDescription& pin) {
    std::string text = pin.defaultValue.value_or("");
    switch (pin.dataType) {
        case PinDataType::Text:
            return TextValue{text};
        case PinDataType::Enumeration: {
            int16_t value = int16_t(std::atoi(text.c_str()));
            for (const Choice& choice : parseChoices(pin.listText.value_or("")))
                if (choice.value == value) return ChoiceValue{value, choice.name};
            return ChoiceValue{value, std::to_string(value)};
        }
        case PinDataType::Integer:
        case PinDataType::Boolean:
            return IntegerValue{int32_t(std::atoi(text.c_str()))};
        default:
            return StreamVolts{std::strtod(text.c_str(), nullptr)};
    }
}

std::string describeValue(const InputValue& value) {
    struct {
        std::string operator()(const StreamVolts& v) { return formatNumber(v.volts) + " V"; }
        std::string operator()(const GeneratorSpec& g) {
            static constexpr const char* kNames[] = {"constant", "sine",  "square",
                                                     "saw",      "noise", "wav"};
            std::string name = kNames[int(g.waveform)];
            if (g.waveform == Waveform::WavFile) return name + " " + g.file.filename().string();
            if (g.waveform == Waveform::Constant || g.waveform == Waveform::Noise) return name;
            return name + " " + formatNumber(g.frequency) + " Hz";
        }
        std::string operator()(const TextValue& t) { return quoted(t.text); }
        std::string operator()(const ChoiceValue& c) { return c.name; }
        std::string operator()(const IntegerValue& i) { return std::to_string(i.value); }
    } visitor;
    return std::visit(visitor, value);
}

class Binder {
  public:
    Binder(const Patch& patch, const PluginLoader& loadPlugin)
        : patch_(patch), loadPlugin_(loadPlugin) {}

    BoundPatch bind() {
        bound_.sampleRate = patch_.sampleRate;
        bound_.blockSize = patch_.blockSize;
        bound_.sampleCount = uint64_t(std::llround(patch_.duration * patch_.sampleRate));
        if (bound_.sampleCount == 0) throw PatchError("duration", "shorter than one sample");
        for (const InstanceSpec& entry : patch_.instances) bindInstance(entry);
        for (const ConnectionSpec& connection : patch_.connections) bindConnection(connection);
        orderInstances();
        for (const ChangeSpec& change : patch_.changes) bindChange(change);
        std::stable_sort(
            bound_.changes.begin(), bound_.changes.end(),
            [](const BoundChange& a, const BoundChange& b) { return a.sample < b.sample; });
        for (const PinRef& ref : patch_.record) bindRecord(ref);
        return std::move(bound_);
    }

  private:
    std::shared_ptr<const LoadedPlugin> plugin(const InstanceSpec& entry) {
        auto cached = plugins_.find(entry.plugin);
        if (cached != plugins_.end()) return cached->second;
        std::string where = entry.where + ".plugin";
        try {
            return plugins_[entry.plugin] = loadPlugin_(entry.plugin);
        } catch (const PatchError& error) {
            throw PatchError(where, error.what());
        } catch (const host::LoadError& error) {
            throw PatchError(where, error.what());
        }
    }

    void bindInstance(const InstanceSpec& entry) {
        if (indexByName_.contains(entry.name))
            throw PatchError(entry.where, "a second instance named " + quoted(entry.name));
        BoundInstance instance;
        instance.name = entry.name;
        instance.plugin = plugin(entry);
        const ModuleDescription& module = instance.plugin->description();
        for (const PinDescription& pin : module.pins)
            instance.initialValues.push_back(defaultValue(pin));
        instance.connected.assign(module.pins.size(), false);
        for (const PinSetting& setting : entry.settings) {
            const PinDescription& pin = describedPin(module, setting.pin, setting.where);
            if (!pin.isInput())
                throw PatchError(setting.where,
                                 quoted(pin.name) + " is an output and cannot be set");
            instance.initialValues[size_t(pin.index)] =
                inputValue(setting.value, pin, patch_.sampleRate, setting.where);
            setPlaces_[{bound_.instances.size(), pin.index}] = setting.where;
        }
        indexByName_[entry.name] = bound_.instances.size();
        bound_.instances.push_back(std::move(instance));
    }

    const PinDescription& describedPin(const ModuleDescription& module, const std::string& name,
                                       const std::string& where) {
        const PinDescription* pin = module.findPin(name);
        if (pin == nullptr)
            throw PatchError(where, "the module " + quoted(module.name) + " has no pin " +
                                        quoted(name) + "; its pins are " + module.pinNames());
        return *pin;
    }

    BoundPin resolve(const PinRef& ref) {
        auto found = indexByName_.find(ref.instance);
        if (found == indexByName_.end())
            throw PatchError(ref.where, "no instance named " + quoted(ref.instance));
        const ModuleDescription& module = bound_.instances[found->second].plugin->description();
        return BoundPin{found->second, describedPin(module, ref.pin, ref.where).index};
    }

    const PinDescription& pinOf(const BoundPin& pin) const {
        return bound_.instances[pin.instance].plugin->description().pins[size_t(pin.pin)];
    }

    void bindConnection(const ConnectionSpec& entry) {
        BoundPin from = resolve(entry.from);
        BoundPin to = resolve(entry.to);
        const PinDescription& source = pinOf(from);
        const PinDescription& target = pinOf(to);
        if (source.isInput())
            throw PatchError(entry.from.where,
                             entry.from.text() + " is an input; a connection starts at an output");
        if (!target.isInput())
            throw PatchError(entry.to.where,
                             entry.to.text() + " is an output; a connection must end at an input");
        if (!source.isStream() || !target.isStream())
            throw PatchError(entry.where, "only stream pins can be connected");
        BoundInstance& instance = bound_.instances[to.instance];
        if (auto set = setPlaces_.find({to.instance, to.pin}); set != setPlaces_.end())
            throw PatchError(entry.to.where, entry.to.text() + " is already set at " + set->second +
                                                 "; an input takes a value or a connection");
        if (instance.connected[size_t(to.pin)])
            throw PatchError(entry.to.where, entry.to.text() + " is already connected");
        instance.connected[size_t(to.pin)] = true;
        bound_.connections.push_back({from, to});
        connectionPlaces_.push_back(entry.where);
    }

    // Upstream before downstream; among instances free to go, the order of the file.
    void orderInstances() {
        size_t count = bound_.instances.size();
        std::vector<int> waitingFor(count, 0);
        for (const BoundConnection& connection : bound_.connections)
            ++waitingFor[connection.to.instance];
        std::vector<size_t> order;
        std::vector<bool> placed(count, false);
        while (order.size() < count) {
            size_t next = count;
            for (size_t i = 0; i < count && next == count; ++i)
                if (!placed[i] && waitingFor[i] == 0) next = i;
            if (next == count) reportCycle(placed);
            placed[next] = true;
            order.push_back(next);
            for (const BoundConnection& connection : bound_.connections)
                if (connection.from.instance == next) --waitingFor[connection.to.instance];
        }
        std::vector<size_t> newIndex(count);
        for (size_t position = 0; position < count; ++position)
            newIndex[order[position]] = position;
        std::vector<BoundInstance> ordered;
        for (size_t old : order) ordered.push_back(std::move(bound_.instances[old]));
        bound_.instances = std::move(ordered);
        for (BoundConnection& connection : bound_.connections) {
            connection.from.instance = newIndex[connection.from.instance];
            connection.to.instance = newIndex[connection.to.instance];
        }
        for (auto& [name, index] : indexByName_) index = newIndex[index];
    }

    // Follows connections among the instances that could not be ordered until one leads back;
    // names that connection and the ring it closes.
    [[noreturn]] void reportCycle(const std::vector<bool>& placed) {
        size_t count = bound_.instances.size();
        std::vector<int> state(count, 0);  // 0 unvisited, 1 on the path, 2 done
        std::vector<size_t> pathEdges;
        std::function<void(size_t)> visit = [&](size_t node) {
            state[node] = 1;
            for (size_t edge = 0; edge < bound_.connections.size(); ++edge) {
                const BoundConnection& connection = bound_.connections[edge];
                if (connection.from.instance != node || placed[connection.to.instance]) continue;
                pathEdges.push_back(edge);
                if (state[connection.to.instance] == 1)
                    throwCycle(pathEdges, connection.to.instance);
                if (state[connection.to.instance] == 0) visit(connection.to.instance);
                pathEdges.pop_back();
            }
            state[node] = 2;
        };
        for (size_t node = 0; node < count; ++node)
            if (!placed[node] && state[node] == 0) visit(node);
        throw PatchError("connections", "the connections form a cycle");
    }

    [[noreturn]] void throwCycle(const std::vector<size_t>& pathEdges, size_t ringStart) {
        size_t first = pathEdges.size() - 1;
        while (bound_.connections[pathEdges[first]].from.instance != ringStart) --first;
        std::string ring;
        for (size_t i = first; i < pathEdges.size(); ++i) {
            const BoundConnection& connection = bound_.connections[pathEdges[i]];
            ring += (ring.empty() ? "" : ", ") + pinName(connection.from) + " -> " +
                    pinName(connection.to);
        }
        throw PatchError(connectionPlaces_[pathEdges.back()],
                         "this connection closes a cycle: " + ring);
    }

    std::string pinName(const BoundPin& pin) const {
        return bound_.instances[pin.instance].name + "." + pinOf(pin).name;
    }

    void bindChange(const ChangeSpec& entry) {
        BoundPin target = resolve(entry.pin);
        const PinDescription& pin = pinOf(target);
        if (!pin.isInput())
            throw PatchError(entry.pin.where,
                             entry.pin.text() + " is an output and cannot be changed");
        if (bound_.instances[target.instance].connected[size_t(pin.index)])
            throw PatchError(entry.pin.where,
                             entry.pin.text() + " is driven by a connection and cannot be changed");
        auto sample = uint64_t(std::llround(entry.at * patch_.sampleRate));
        if (sample >= bound_.sampleCount)
            throw PatchError(entry.where + ".at", "lies at or after the end of the patch (" +
                                                      formatNumber(patch_.duration) + " s)");
        InputValue value = inputValue(entry.value, pin, patch_.sampleRate, entry.where + ".value");
        std::string label = entry.pin.text() + " = " + describeValue(value);
        bound_.changes.push_back({sample, target, std::move(value), label, entry.where});
    }

    void bindRecord(const PinRef& ref) {
        BoundPin pin = resolve(ref);
        if (!pinOf(pin).isStream())
            throw PatchError(ref.where, ref.text() + " is not a stream and cannot be recorded");
        bound_.record.push_back({pin, ref.text()});
    }

    const Patch& patch_;
    const PluginLoader& loadPlugin_;
    BoundPatch bound_;
    std::map<std::string, std::shared_ptr<const LoadedPlugin>> plugins_;
    std::map<std::string, size_t> indexByName_;
    // Where each input was given a value; only connections, bound before ordering, look here.
    std::map<std::pair<size_t, int32_t>, std::string> setPlaces_;
    std::vector<std::string> connectionPlaces_;
};

}  // namespace

BoundPatch bindPatch(const Patch& patch, const PluginLoader& loadPlugin) {
    std::string name = patch.file.filename().string();
    try {
        return Binder(patch, loadPlugin).bind();
    } catch (const PatchError& error) {
        throw PatchError(name, error.what());
    }
}

}  // namespace patch
