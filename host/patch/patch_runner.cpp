#include "patch_runner.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <span>

#include "signal_generator.h"

namespace patch {
namespace {

using host_protocol::DispatcherOpcode;
using host_protocol::HostOpcode;
using host_protocol::PinDataType;
using host_protocol::PinStatus;

// A pin change waiting for its sample. Changes the host makes itself carry the pin's new value;
// statuses forwarded from an upstream output carry none (the buffer holds the samples).
struct PendingEvent {
    uint64_t sample;
    int32_t pin;
    PinStatus status;
    std::optional<InputValue> value;
};

PinStatus statusFor(const InputValue& value) {
    return std::holds_alternative<GeneratorSpec>(value) ? PinStatus::Streaming : PinStatus::OneShot;
}

// The event value of the single-export form: the choice or number; nothing for texts and streams.
int32_t eventValue(const std::optional<InputValue>& value) {
    if (!value) return 0;
    if (const auto* choice = std::get_if<ChoiceValue>(&*value)) return choice->value;
    if (const auto* integer = std::get_if<IntegerValue>(&*value)) return integer->value;
    return 0;
}

// What feeds one unconnected stream input: a constant or a generator, switched at timed changes.
class StreamSource {
  public:
    StreamSource(const InputValue& value, double sampleRate) : sampleRate_(sampleRate) {
        select(value);
    }

    void scheduleChange(uint64_t sample, const InputValue& value) {
        changes_.push_back({sample, value});
    }

    void fill(std::span<float> buffer, uint64_t blockStart, int32_t count) {
        int32_t position = 0;
        while (position < count) {
            int32_t end = count;
            if (!changes_.empty() && changes_.front().sample < blockStart + uint64_t(count))
                end = int32_t(std::max(changes_.front().sample, blockStart) - blockStart);
            write(buffer.subspan(size_t(position)), blockStart + uint64_t(position),
                  end - position);
            position = end;
            if (position < count) {
                select(changes_.front().value);
                changes_.pop_front();
            }
        }
    }

  private:
    struct Change {
        uint64_t sample;
        InputValue value;
    };

    void select(const InputValue& value) {
        generator_.reset();
        if (const auto* generator = std::get_if<GeneratorSpec>(&value))
            generator_ = std::make_unique<SignalGenerator>(*generator, sampleRate_, "");
        else if (const auto* volts = std::get_if<StreamVolts>(&value))
            constant_ = streamValue(volts->volts);
    }

    void write(std::span<float> out, uint64_t first, int32_t count) {
        if (generator_)
            generator_->fill(out.data(), first, count);
        else
            std::fill_n(out.begin(), count, constant_);
    }

    double sampleRate_;
    float constant_ = 0.0f;
    std::unique_ptr<SignalGenerator> generator_;
    std::deque<Change> changes_;
};

class RunningInstance {
  public:
    RunningInstance(const BoundInstance& bound, const BoundPatch& patch)
        : bound_(bound), module_(bound.plugin->create()), twoExport_(bound.plugin->isTwoExport()) {
        report_.name = bound.name;
        report_.moduleName = description().name;
        module_->setSampleRate(float(patch.sampleRate));
        module_->setBlockSize(patch.blockSize);
        sources_.resize(description().pins.size());
        for (const PinDescription& pin : description().pins) {
            if (!pin.isInput() || bound.connected[size_t(pin.index)]) continue;
            const InputValue& value = bound.initialValues[size_t(pin.index)];
            if (pin.isStream()) sources_[size_t(pin.index)].emplace(value, patch.sampleRate);
            writeVariable(pin.index, value);
            // The host announces every value it sets, as when a patch is loaded.
            schedule({0, pin.index, statusFor(value), value});
        }
    }

    const ModuleDescription& description() const { return bound_.plugin->description(); }
    host::Instance& module() { return *module_; }
    InstanceReport& report() { return report_; }

    void open() { module_->open(); }

    void close() {
        report_.asleepAtEnd = asleep_;
        module_->close();
    }

    RunningInstance(const RunningInstance&) = delete;
    RunningInstance& operator=(const RunningInstance&) = delete;

    template <class Forward>
    void collectCalls(Forward& forward) {
        std::vector<host::HostCall> calls = module_->calls().all();
        module_->calls().clear();
        for (const host::HostCall& call : calls) {
            if (call.opcode == int32_t(HostOpcode::TransmitStatus)) {
                ++report_.statusReports;
                forward(call.index, PinStatus(call.value), uint64_t(uint32_t(call.data)));
            } else if (call.opcode == int32_t(HostOpcode::SleepRequest)) {
                ++report_.sleepRequests;
                sleepRequested_ = true;
            }
        }
    }

    void schedule(PendingEvent event) {
        auto later = std::upper_bound(
            pending_.begin(), pending_.end(), event.sample,
            [](uint64_t sample, const PendingEvent& other) { return sample < other.sample; });
        pending_.insert(later, std::move(event));
    }

    void scheduleChange(const BoundChange& change) {
        const PinDescription& pin = description().pins[size_t(change.pin.pin)];
        if (pin.isStream())
            sources_[size_t(pin.index)]->scheduleChange(change.sample, change.value);
        schedule({change.sample, pin.index, statusFor(change.value), change.value});
    }

    void fillUnconnectedInputs(uint64_t blockStart, int32_t count) {
        for (size_t pin = 0; pin < sources_.size(); ++pin)
            if (sources_[pin])
                sources_[pin]->fill(module_->buffer(int32_t(pin)), blockStart, count);
    }

    // Runs one block. `forward` receives every status the module reports, with its sample.
    template <class Forward>
    void runBlock(uint64_t blockStart, int32_t count, Forward&& forward) {
        blockStart_ = blockStart;
        uint64_t blockEnd = blockStart + uint64_t(count);
        std::vector<PendingEvent> due;
        while (!pending_.empty() && pending_.front().sample < blockEnd) {
            due.push_back(std::move(pending_.front()));
            pending_.erase(pending_.begin());
        }
        if (twoExport_)
            runTwoExportBlock(blockEnd, due, forward);
        else
            runSingleExportBlock(blockEnd, due, forward);
    }

  private:
    // The host chooses the moment: the block is split at each change, which is delivered
    // through the event handler once the samples before it are processed.
    template <class Forward>
    void runTwoExportBlock(uint64_t blockEnd, const std::vector<PendingEvent>& due,
                           Forward& forward) {
        uint64_t position = blockStart_;
        for (const PendingEvent& event : due) {
            uint64_t at = std::max(event.sample, position);
            advance(position, at, forward);
            position = at;
            if (asleep_) wake(at);
            if (event.value) writeVariable(event.pin, *event.value);
            module_->sendStatus(event.pin, event.status, 0, uint32_t(at));
            collectCalls(forward);
        }
        advance(position, blockEnd, forward);
    }

    // The module splits the block itself at the times of the events queued before it.
    template <class Forward>
    void runSingleExportBlock(uint64_t blockEnd, const std::vector<PendingEvent>& due,
                              Forward& forward) {
        uint64_t from = blockStart_;
        if (asleep_ && !due.empty()) {
            from = std::max(due.front().sample, blockStart_);
            hold(blockStart_, from);
            wake(from);
        }
        for (const PendingEvent& event : due) {
            if (event.value) {
                if (const auto* text = std::get_if<TextValue>(&*event.value))
                    module_->writeText(event.pin, text->text);
            }
            module_->sendStatus(event.pin, event.status, eventValue(event.value),
                                uint32_t(std::max(event.sample, from)));
        }
        advance(from, blockEnd, forward);
        if (sleepRequested_ && module_->dispatch(DispatcherOpcode::QueueEmpty) == 1)
            goToSleep(blockEnd);
        sleepRequested_ = false;
    }

    // Processes samples from .. to - 1, or holds the outputs while the module sleeps.
    template <class Forward>
    void advance(uint64_t from, uint64_t to, Forward& forward) {
        if (to <= from) return;
        if (asleep_) {
            hold(from, to);
            return;
        }
        auto started = std::chrono::steady_clock::now();
        module_->process(int32_t(from - blockStart_), int32_t(to - from));
        report_.processSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        report_.processedSamples += to - from;
        collectCalls(forward);
        // The two-export form asks at the end of a call; the single-export form is checked once
        // its whole block has run, since it may still hold events.
        if (twoExport_ && sleepRequested_) {
            goToSleep(to);
            sleepRequested_ = false;
        }
    }

    void goToSleep(uint64_t end) {
        asleep_ = true;
        heldValues_.assign(description().pins.size(), 0.0f);
        for (const PinDescription& pin : description().pins)
            if (!pin.isInput() && pin.isStream())
                heldValues_[size_t(pin.index)] =
                    module_->buffer(pin.index)[size_t(end - 1 - blockStart_)];
    }

    void hold(uint64_t from, uint64_t to) {
        for (const PinDescription& pin : description().pins) {
            if (pin.isInput() || !pin.isStream()) continue;
            std::span<float> buffer = module_->buffer(pin.index);
            std::fill(buffer.begin() + ptrdiff_t(from - blockStart_),
                      buffer.begin() + ptrdiff_t(to - blockStart_), heldValues_[size_t(pin.index)]);
        }
        module_->setSamplePosition(uint32_t(to));
    }

    void wake(uint64_t at) {
        module_->setSamplePosition(uint32_t(at));
        module_->dispatch(DispatcherOpcode::Resume);
        asleep_ = false;
    }

    // The host writes the variables of value pins itself; stream buffers are filled per block.
    void writeVariable(int32_t pin, const InputValue& value) {
        if (const auto* text = std::get_if<TextValue>(&value))
            module_->writeText(pin, text->text);
        else if (const auto* choice = std::get_if<ChoiceValue>(&value))
            module_->writeEnumeration(pin, choice->value);
        else if (const auto* integer = std::get_if<IntegerValue>(&value))
            writeIntegerVariable(pin, integer->value);
    }

    void writeIntegerVariable(int32_t pin, int32_t value) {
        if (description().pins[size_t(pin)].dataType == PinDataType::Boolean)
            module_->writeBoolean(pin, value != 0);
        else
            module_->writeInteger(pin, value);
    }

  private:
    const BoundInstance& bound_;
    std::unique_ptr<host::Instance> module_;
    bool twoExport_;
    InstanceReport report_;
    std::vector<std::optional<StreamSource>> sources_;
    std::vector<PendingEvent> pending_;
    uint64_t blockStart_ = 0;
    bool asleep_ = false;
    bool sleepRequested_ = false;
    std::vector<float> heldValues_;
};

class PatchRun {
  public:
    explicit PatchRun(const BoundPatch& patch) : patch_(patch) {
        for (const BoundInstance& instance : patch.instances)
            instances_.push_back(std::make_unique<RunningInstance>(instance, patch));
        for (const BoundChange& change : patch.changes)
            instances_[change.pin.instance]->scheduleChange(change);
        result_.recording.sampleRate = patch.sampleRate;
        result_.recording.sampleCount = patch.sampleCount;
        for (const BoundRecord& record : patch.record)
            result_.recording.pins.push_back(
                {record.name, std::vector<float>(size_t(patch.sampleCount))});
        for (const BoundChange& change : patch.changes)
            result_.recording.markers.push_back({change.sample, change.label});
    }

    // Sends a status reported for an output to every input connected to it, no earlier than
    // the block the downstream instance is about to run.
    auto forwarder(size_t from, uint64_t blockStart) {
        return [this, from, blockStart](int32_t pin, PinStatus status, uint64_t sample) {
            for (const BoundConnection& connection : patch_.connections)
                if (connection.from == BoundPin{from, pin})
                    instances_[connection.to.instance]->schedule(
                        {std::max(sample, blockStart), connection.to.pin, status, std::nullopt});
        };
    }

    RenderResult run() {
        for (size_t i = 0; i < instances_.size(); ++i) {
            instances_[i]->open();
            // Statuses reported at open hold from sample 0 on.
            auto forward = forwarder(i, 0);
            instances_[i]->collectCalls(forward);
        }
        for (uint64_t start = 0; start < patch_.sampleCount; start += uint64_t(patch_.blockSize)) {
            int32_t count =
                int32_t(std::min<uint64_t>(uint64_t(patch_.blockSize), patch_.sampleCount - start));
            for (size_t i = 0; i < instances_.size(); ++i) runInstanceBlock(i, start, count);
        }
        for (auto& instance : instances_) {
            instance->close();
            result_.instances.push_back(instance->report());
        }
        return std::move(result_);
    }

  private:
    void runInstanceBlock(size_t index, uint64_t start, int32_t count) {
        RunningInstance& instance = *instances_[index];
        instance.fillUnconnectedInputs(start, count);
        for (const BoundConnection& connection : patch_.connections) {
            if (connection.to.instance != index) continue;
            std::span<float> source =
                instances_[connection.from.instance]->module().buffer(connection.from.pin);
            std::span<float> target = instance.module().buffer(connection.to.pin);
            std::copy_n(source.begin(), count, target.begin());
        }
        auto forward = forwarder(index, start);
        instance.runBlock(start, count, forward);
        for (size_t r = 0; r < patch_.record.size(); ++r) {
            const BoundPin& pin = patch_.record[r].pin;
            if (pin.instance != index) continue;
            std::span<float> buffer = instance.module().buffer(pin.pin);
            std::copy_n(buffer.begin(), count,
                        result_.recording.pins[r].samples.begin() + ptrdiff_t(start));
        }
    }

    const BoundPatch& patch_;
    std::vector<std::unique_ptr<RunningInstance>> instances_;
    RenderResult result_;
};

}  // namespace

RenderResult renderPatch(const BoundPatch& patch) {
    return PatchRun(patch).run();
}

}  // namespace patch
