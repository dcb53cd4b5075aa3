#include "host/instance.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "host/host_mutex.h"

namespace host {

using host_protocol::DispatcherOpcode;
using host_protocol::HostOpcode;
using host_protocol::ModuleEvent;
using host_protocol::PinDataType;
using host_protocol::PinProperties;

namespace {

// A runaway module that describes pins forever must not hang the host.
constexpr int32_t kMaxDescribedPins = 4096;

// Records of live instances, shared by every thread that runs instances.
HostMutex& registryMutex() {
    static HostMutex mutex;
    return mutex;
}

std::unordered_map<const void*, Instance*>& registry() {
    static std::unordered_map<const void*, Instance*> instances;
    return instances;
}

thread_local Instance* instanceBeingCreated = nullptr;

Instance* findInstance(const void* record) {
    {
        std::lock_guard lock(registryMutex());
        auto found = registry().find(record);
        if (found != registry().end()) return found->second;
    }
    return instanceBeingCreated;
}

// The callback every module gets. Nothing may escape into the module as an exception.
intptr_t PROTOCOL_CALL protocolCallback(void* record, int32_t opcode, int32_t index, int32_t value,
                                        int32_t data, float) {
    Instance* instance = findInstance(record);
    if (instance == nullptr) return 0;
    try {
        return instance->answer(HostCall{opcode, index, value, data});
    } catch (...) {
        return 0;
    }
}

}  // namespace

Instance::CreationScope::CreationScope(Instance& instance) {
    instanceBeingCreated = &instance;
}

Instance::CreationScope::~CreationScope() {
    instanceBeingCreated = nullptr;
}

Instance::Instance(std::shared_ptr<const PluginLibrary> library, const InstanceOptions& options)
    : library_(std::move(library)), options_(options) {}

Instance::~Instance() = default;

void Instance::closeIfOpen() {
    if (attachedRecord_ != nullptr && !closed_) close();
}

host_protocol::HostCallback Instance::callbackForModule() const {
    return options_.withCallback ? &protocolCallback : nullptr;
}

void Instance::attach(void* record, const char* exportName) {
    if (record == nullptr) {
        throw LoadError(library_->path() + ": " + exportName + " created no instance");
    }
    attachedRecord_ = record;
    std::lock_guard lock(registryMutex());
    registry()[record] = this;
}

void Instance::open() {
    described_ = false;
    describedPins();
    connectStreams();
    for (int32_t pin = 0; pin < static_cast<int32_t>(descriptions_.size()); ++pin) {
        const PinProperties& props = descriptions_[pin];
        if (props.dataType == static_cast<int32_t>(PinDataType::Text) && !texts_.contains(pin)) {
            writeText(pin, props.defaultValue != nullptr ? props.defaultValue : "");
        }
    }
    dispatch(DispatcherOpcode::Open);
}

intptr_t Instance::close() {
    const intptr_t answer = dispatch(DispatcherOpcode::Close);
    closed_ = true;
    std::lock_guard lock(registryMutex());
    registry().erase(attachedRecord_);
    return answer;
}

void Instance::setSampleRate(float rate) {
    dispatch(DispatcherOpcode::SetSampleRate, 0, 0, nullptr, rate);
}

void Instance::setBlockSize(int32_t size) {
    blockSize_ = size;
    dispatch(DispatcherOpcode::SetBlockSize, 0, size);
}

bool Instance::pinProperties(int32_t index, PinProperties& props) {
    props = PinProperties{};
    return dispatch(DispatcherOpcode::GetPinProperties, index, 0, &props) != 0;
}

const std::vector<PinProperties>& Instance::describedPins() {
    if (!described_) {
        descriptions_.clear();
        PinProperties props;
        for (int32_t index = 0; index < kMaxDescribedPins && pinProperties(index, props); ++index) {
            descriptions_.push_back(props);
        }
        described_ = true;
    }
    return descriptions_;
}

int32_t Instance::pinDataType(int32_t pin) {
    const auto& pins = describedPins();
    if (pins.empty() || pin < 0) return -1;
    return pins[std::min<std::size_t>(static_cast<std::size_t>(pin), pins.size() - 1)].dataType;
}

void* Instance::pinVariable(int32_t pin) {
    const auto& pins = describedPins();
    if (pin < 0 || static_cast<std::size_t>(pin) >= pins.size()) return nullptr;
    return pins[pin].variable;
}

intptr_t Instance::answer(const HostCall& call) {
    calls_.append(call);
    switch (static_cast<HostOpcode>(call.opcode)) {
        case HostOpcode::SampleClock:
            return static_cast<intptr_t>(clock_);
        case HostOpcode::PinValue: {
            auto chosen = pinValues_.find(call.index);
            if (chosen != pinValues_.end()) return chosen->second;
            if (pinDataType(call.index) != static_cast<int32_t>(PinDataType::Stream)) return 0;
            return reinterpret_cast<intptr_t>(buffer(call.index).data());
        }
        case HostOpcode::BufferPosition:
            if (bufferPosition_) return static_cast<intptr_t>(*bufferPosition_);
            return static_cast<intptr_t>(inBlock_ ? blockBufferPosition_ : clock_);
        case HostOpcode::PinCount:
            return pinCount_ ? *pinCount_ : static_cast<int32_t>(describedPins().size());
        default:
            return 0;
    }
}

std::span<float> Instance::buffer(int32_t pin) {
    auto found = buffers_.find(pin);
    if (found == buffers_.end()) {
        const int32_t capacity = options_.bufferCapacity > 0 ? options_.bufferCapacity
                                                             : std::max<int32_t>(blockSize_, 1);
        found = buffers_.emplace(pin, std::vector<float>(static_cast<std::size_t>(capacity))).first;
    }
    return found->second;
}

void Instance::fill(int32_t pin, float value) {
    std::span<float> samples = buffer(pin);
    std::fill(samples.begin(), samples.end(), value);
}

void Instance::writeText(int32_t pin, const std::string& text) {
    void* variable = pinVariable(pin);
    if (variable == nullptr) return;
    texts_[pin] = text;
    const char* address = texts_[pin].c_str();
    std::memcpy(variable, &address, sizeof(address));
}

void Instance::writeEnumeration(int32_t pin, int16_t value) {
    if (void* variable = pinVariable(pin)) std::memcpy(variable, &value, sizeof(value));
}

void Instance::writeInteger(int32_t pin, int32_t value) {
    if (void* variable = pinVariable(pin)) std::memcpy(variable, &value, sizeof(value));
}

void Instance::writeBoolean(int32_t pin, bool value) {
    const uint8_t byte = value ? 1 : 0;
    if (void* variable = pinVariable(pin)) std::memcpy(variable, &byte, sizeof(byte));
}

void Instance::connectStreams() {
    const auto& pins = describedPins();
    for (int32_t pin = 0; pin < static_cast<int32_t>(pins.size()); ++pin) {
        if (pins[pin].dataType != static_cast<int32_t>(PinDataType::Stream)) continue;
        if (pins[pin].variable == nullptr) continue;
        float* address = buffer(pin).data();
        std::memcpy(pins[pin].variable, &address, sizeof(address));
    }
}

void Instance::sendStatus(int32_t pin, host_protocol::PinStatus status, int32_t value,
                          std::optional<uint32_t> time) {
    ModuleEvent event{};
    event.time = time.value_or(clock_);
    event.type = static_cast<int32_t>(host_protocol::EventType::PinStatus);
    event.data1 = static_cast<int32_t>(status);
    event.data2 = value;
    event.data3 = pin;
    deliverEvent(event);
}

void Instance::process(int32_t start, int32_t count) {
    blockBufferPosition_ = clock_ - static_cast<uint32_t>(start);
    inBlock_ = true;
    runBlock(start, count);
    inBlock_ = false;
    clock_ += static_cast<uint32_t>(count);
}

}  // namespace host
