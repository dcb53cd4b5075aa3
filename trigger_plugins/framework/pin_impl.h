// Definitions of BasicPin, instantiated once per variant (instantiate_*.cpp).
#pragma once

#include <cstring>

#include "trigger_plugins/framework/module_base.h"
#include "trigger_plugins/framework/pin.h"

namespace trigger_framework {

template <Variant V>
void BasicPin<V>::init(Owner* pinOwner, int32_t pinIndex, int32_t pinDataType, void* pinVariable,
                       intptr_t value) requires(V == Variant::Standard) {
    owner = pinOwner;
    index = pinIndex;
    dataType = pinDataType;
    variable = pinVariable;
    status = static_cast<int32_t>(host_protocol::PinStatus::Static);
    // Clang 14 compiles this body for the clock copy too, which has no storage.
    if constexpr (V == Variant::Standard) {
        storage = value;
        if (value != 0) {
            variable = &storage;
        }
    }
}

template <Variant V>
void BasicPin<V>::init(Owner* pinOwner, int32_t pinIndex, int32_t pinDataType,
                       void* pinVariable) requires(V == Variant::Clock) {
    owner = pinOwner;
    index = pinIndex;
    dataType = pinDataType;
    variable = pinVariable;
    status = static_cast<int32_t>(host_protocol::PinStatus::Static);
}

template <Variant V>
void BasicPin<V>::onStatusEvent(int32_t newStatus, int32_t value) {
    status = newStatus;
    if (owner == nullptr) {
        return;
    }
    writeValue(value);
    owner->pinChanged(this);
    if (status == static_cast<int32_t>(host_protocol::PinStatus::OneShot)) {
        status = static_cast<int32_t>(host_protocol::PinStatus::Static);
    }
}

// A pin without a variable takes the event without touching memory.
template <Variant V>
void BasicPin<V>::writeValue(int32_t value) {
    using host_protocol::PinDataType;
    switch (static_cast<PinDataType>(dataType)) {
        case PinDataType::Enumeration:
            if (variable != nullptr) {
                const auto choice = static_cast<int16_t>(value);
                std::memcpy(variable, &choice, sizeof choice);
            }
            break;
        case PinDataType::Text:
            owner->callHost(host_protocol::HostOpcode::TextPinChanged, index, value);
            break;
        case PinDataType::Boolean:
            if (variable != nullptr) {
                const uint8_t flag = value != 0 ? 1 : 0;
                std::memcpy(variable, &flag, sizeof flag);
            }
            break;
        case PinDataType::Integer:
            if (variable != nullptr) {
                std::memcpy(variable, &value, sizeof value);
            }
            break;
        default:
            // A Stream pin's variable holds the buffer address, which is the host's to write.
            break;
    }
}

template <Variant V>
void BasicPin<V>::transmitStatus(uint32_t sampleClock, int32_t newStatus) {
    if (owner != nullptr) {
        owner->callHost(host_protocol::HostOpcode::TransmitStatus, index, newStatus,
                        static_cast<int32_t>(sampleClock));
    }
}

template <Variant V>
float BasicPin<V>::currentSample() const {
    // Without a host callback no buffer position can be asked for: the answer 0 would put the
    // element at the absolute clock, past the host's buffer once the clock outgrows it.
    if (owner == nullptr || variable == nullptr || !owner->hasHostCallback()) {
        return 0.0f;
    }
    const float* buffer = nullptr;
    std::memcpy(&buffer, variable, sizeof buffer);
    if (buffer == nullptr) {
        return 0.0f;
    }
    const auto first =
        static_cast<uint32_t>(owner->callHost(host_protocol::HostOpcode::BufferPosition, index));
    return buffer[owner->sampleClock() - first];
}

template <Variant V>
bool BasicPin<V>::queryPin() const {
    return owner != nullptr && owner->callHost(host_protocol::HostOpcode::QueryPin, index) != 0;
}

template <Variant V>
void BasicPin<V>::transmitOpcode4(int32_t a, int32_t b) {
    if (owner != nullptr) {
        owner->callHost(host_protocol::HostOpcode::Opcode4, index, b, a);
    }
}

}  // namespace trigger_framework
