// Definitions of BasicModuleBase, instantiated once per variant (instantiate_*.cpp). The two
// variants differ only where `V == Variant::Clock` is tested: describePin and bindRepeatedPins.
#pragma once

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "host_protocol/dispatcher_opcodes.h"
#include "trigger_plugins/framework/module_base.h"
#include "trigger_plugins/framework/pin_impl.h"

namespace trigger_framework {

template <Variant V>
BasicModuleBase<V>::BasicModuleBase(host_protocol::HostCallback callback) : hostCallback(callback) {
    record.magic = host_protocol::single_export::kMagic;
    record.dispatcher = &BasicModuleBase::dispatcherEntry;
    record.instance = this;
    record.one = 1;
    record.process = &BasicModuleBase::processEntry;
}

template <Variant V>
BasicModuleBase<V>::~BasicModuleBase() {
    while (ModuleEvent* node = eventQueue.popFront()) {
        releaseNode(node);
    }
    delete[] pins;
}

// ---- Record entry points ----

template <Variant V>
intptr_t PROTOCOL_CALL BasicModuleBase<V>::dispatcherEntry(ModuleRecord* record, int32_t opcode,
                                                           int32_t index, int32_t value, void* ptr,
                                                           float opt) {
    if (record == nullptr || record->instance == nullptr) {
        return 0;
    }
    auto* module = static_cast<BasicModuleBase*>(record->instance);
    intptr_t answer = 0;
    try {
        answer = module->dispatch(opcode, index, value, ptr, opt);
    } catch (...) {
        answer = 0;
    }
    if (opcode == static_cast<int32_t>(host_protocol::DispatcherOpcode::Close)) {
        delete module;
        return 1;
    }
    return answer;
}

template <Variant V>
void PROTOCOL_CALL BasicModuleBase<V>::processEntry(ModuleRecord* record, int32_t start,
                                                    int32_t count) {
    if (record == nullptr || record->instance == nullptr) {
        return;
    }
    try {
        static_cast<BasicModuleBase*>(record->instance)->processBlock(start, count);
    } catch (...) {
        // Nothing crosses into the host; the block's output stays as far as it was written.
    }
}

// ---- Dispatcher ----

template <Variant V>
intptr_t BasicModuleBase<V>::dispatch(int32_t opcode, int32_t index, int32_t value, void* ptr,
                                      float opt) {
    using host_protocol::DispatcherOpcode;
    switch (static_cast<DispatcherOpcode>(opcode)) {
        case DispatcherOpcode::Open:
            open();
            return 0;
        case DispatcherOpcode::Close:
            close();
            return 0;
        case DispatcherOpcode::SetSampleRate:
            setSampleRate(opt);
            return 0;
        case DispatcherOpcode::SetBlockSize:
            setBlockSize(value);
            return 0;
        case DispatcherOpcode::Query4:
            return answerQuery4(ptr) ? 1 : 0;
        case DispatcherOpcode::Query5:
            return answerQuery5(ptr) ? 1 : 0;
        case DispatcherOpcode::GetPinProperties:
            // No record to fill: nothing is described.
            return ptr != nullptr && getPinProperties(index, static_cast<PinProperties*>(ptr)) ? 1
                                                                                               : 0;
        case DispatcherOpcode::QueueEvent:
            queueHostEvent(static_cast<const ModuleEvent*>(ptr));
            return 0;
        case DispatcherOpcode::Resume:
            resume();
            return 0;
        case DispatcherOpcode::GetModuleProperties:
            return ptr != nullptr && getModuleProperties(static_cast<ModuleProperties*>(ptr)) ? 1
                                                                                              : 0;
        case DispatcherOpcode::QueueEmpty:
            return eventQueue.empty() ? 1 : 0;
        default:
            return 0;
    }
}

// ---- Default virtual operations ----

template <Variant V>
void BasicModuleBase<V>::pinChanged(Pin*) {}

template <Variant V>
void BasicModuleBase<V>::open() {
    buildPinTable();
}

template <Variant V>
void BasicModuleBase<V>::close() {}

template <Variant V>
void BasicModuleBase<V>::spareHook(int32_t, int32_t) {}

template <Variant V>
void BasicModuleBase<V>::setSampleRate(float rate) {
    sampleRate = rate;
}

template <Variant V>
void BasicModuleBase<V>::setBlockSize(int32_t size) {
    blockSize = size;
}

template <Variant V>
float BasicModuleBase<V>::getSampleRate() {
    return sampleRate;
}

template <Variant V>
int32_t BasicModuleBase<V>::getBlockSize() {
    return blockSize;
}

template <Variant V>
bool BasicModuleBase<V>::getModuleProperties(ModuleProperties*) {
    return false;
}

template <Variant V>
bool BasicModuleBase<V>::getPinProperties(int32_t, PinProperties*) {
    return false;
}

template <Variant V>
bool BasicModuleBase<V>::answerQuery5(void*) {
    return false;
}

template <Variant V>
bool BasicModuleBase<V>::answerQuery4(void*) {
    return false;
}

template <Variant V>
void BasicModuleBase<V>::onDataEvent(int32_t, int32_t, int16_t) {}

template <Variant V>
void BasicModuleBase<V>::processNothing(int32_t, int32_t) {}

// ---- Host calls, pins ----

template <Variant V>
intptr_t BasicModuleBase<V>::callHost(host_protocol::HostOpcode opcode, int32_t index,
                                      int32_t value, int32_t data, float opt) {
    if (hostCallback == nullptr) {
        return 0;
    }
    return hostCallback(&record, static_cast<int32_t>(opcode), index, value, data, opt);
}

template <Variant V>
auto BasicModuleBase<V>::getPin(int32_t index) -> Pin* {
    if (index < 0 || index >= pinCount) {
        return nullptr;
    }
    return &pins[index];
}

template <Variant V>
bool BasicModuleBase<V>::readPinProperties(int32_t index, PinProperties* props) {
    std::memset(props, 0, sizeof *props);
    return getPinProperties(index, props);
}

// ---- Pin table ----

// The clock copy hands the record over as the previous call left it.
template <Variant V>
bool BasicModuleBase<V>::describePin(int32_t index, PinProperties* props) {
    if constexpr (V == Variant::Clock) {
        return getPinProperties(index, props);
    } else {
        return readPinProperties(index, props);
    }
}

// Places beyond the described pins repeat the last description. The standard copy does so only
// for a description flagged Repeat and asks the host for each place's own value; the clock copy
// always does so, sharing the last pin's variable.
template <Variant V>
void BasicModuleBase<V>::bindRepeatedPins(int32_t described, int32_t hostPins,
                                          const PinProperties& last) {
    if constexpr (V == Variant::Clock) {
        (void)hostPins;
        for (int32_t i = described; i < pinCount; ++i) {
            pins[i].init(this, i, last.dataType, last.variable);
        }
    } else {
        if ((last.flags & host_protocol::pin_flags::Repeat) == 0) {
            return;
        }
        for (int32_t i = described; i < hostPins; ++i) {
            pins[i].init(this, i, last.dataType, nullptr,
                         callHost(host_protocol::HostOpcode::PinValue, i));
        }
    }
}

template <Variant V>
void BasicModuleBase<V>::buildPinTable() {
    samplePosition = static_cast<uint32_t>(callHost(host_protocol::HostOpcode::SampleClock));

    // The counting pass reuses one record without clearing it between calls.
    PinProperties props{};
    int32_t described = 0;
    while (described < std::numeric_limits<int32_t>::max() && getPinProperties(described, &props)) {
        ++described;
    }

    const intptr_t hostAnswer = callHost(host_protocol::HostOpcode::PinCount);
    const auto hostPins = static_cast<int32_t>(
        std::clamp<intptr_t>(hostAnswer, 0, std::numeric_limits<int32_t>::max()));
    const int32_t size = std::max(described, hostPins);

    // A table that cannot be allocated leaves the previous one in place.
    Pin* table = nullptr;
    if (size > 0) {
        table = new (std::nothrow) Pin[static_cast<size_t>(size)];
        if (table == nullptr) {
            return;
        }
    }
    delete[] pins;
    pins = table;
    pinCount = size;

    for (int32_t i = 0; i < described && describePin(i, &props); ++i) {
        bindPin(i, props);
    }
    if (described == 0) {
        return;
    }
    describePin(described - 1, &props);
    bindRepeatedPins(described, hostPins, props);
}

template <Variant V>
void BasicModuleBase<V>::bindPin(int32_t index, const PinProperties& props) {
    if constexpr (V == Variant::Clock) {
        pins[index].init(this, index, props.dataType, props.variable);
    } else {
        pins[index].init(this, index, props.dataType, props.variable, 0);
    }
}

// ---- Event queue ----

template <Variant V>
void BasicModuleBase<V>::releaseNode(ModuleEvent* node) {
    if (node->type == static_cast<int32_t>(host_protocol::EventType::DeferredCall)) {
        delete reinterpret_cast<DeferredCall*>(node->data3);
    }
    delete node;
}

template <Variant V>
void BasicModuleBase<V>::insertEvent(ModuleEvent* node) {
    if (node != nullptr) {
        eventQueue.insert(node, samplePosition);
    }
}

// Node allocation failure drops the event: the host has no channel to hear of it.
template <Variant V>
void BasicModuleBase<V>::queueHostEvent(const ModuleEvent* event) {
    if (event == nullptr ||
        event->type == static_cast<int32_t>(host_protocol::EventType::DeferredCall)) {
        return;
    }
    auto* node = new (std::nothrow)
        ModuleEvent{event->time, event->type, event->data1, event->data2, event->data3, nullptr};
    insertEvent(node);
}

template <Variant V>
void BasicModuleBase<V>::scheduleCall(uint32_t time, DeferredRoutine routine) {
    auto call = std::unique_ptr<DeferredCall>(new (std::nothrow) DeferredCall{this, routine});
    if (call == nullptr) {
        return;
    }
    auto* node =
        new (std::nothrow) ModuleEvent{time,
                                       static_cast<int32_t>(host_protocol::EventType::DeferredCall),
                                       0,
                                       0,
                                       reinterpret_cast<intptr_t>(call.get()),
                                       nullptr};
    if (node == nullptr) {
        return;
    }
    call.release();
    insertEvent(node);
}

template <Variant V>
void BasicModuleBase<V>::resume() {
    samplePosition = static_cast<uint32_t>(callHost(host_protocol::HostOpcode::SampleClock));
    eventQueue.moveOverdue(samplePosition);
}

template <Variant V>
void BasicModuleBase<V>::handleEvent(ModuleEvent* event) {
    using host_protocol::EventType;
    switch (static_cast<EventType>(event->type)) {
        case EventType::PinStatus:
            // An index outside the pin table is taken as handled; no pin is touched.
            if (event->data3 >= std::numeric_limits<int32_t>::min() &&
                event->data3 <= std::numeric_limits<int32_t>::max()) {
                if (Pin* pin = getPin(static_cast<int32_t>(event->data3))) {
                    pin->onStatusEvent(event->data1, event->data2);
                }
            }
            break;
        case EventType::Data:
            onDataEvent(static_cast<int32_t>(event->time), event->data1,
                        static_cast<int16_t>(event->data2));
            break;
        case EventType::DeferredCall: {
            std::unique_ptr<DeferredCall> call(reinterpret_cast<DeferredCall*>(event->data3));
            event->data3 = 0;
            if (call != nullptr) {
                (call->instance->*call->routine)();
            }
            break;
        }
        default:
            break;
    }
}

// ---- Blocks ----

template <Variant V>
void BasicModuleBase<V>::processBlock(int32_t start, int32_t count) {
    // A negative count would run the clock backwards; it is taken as an empty block.
    const int32_t total = std::max(count, int32_t{0});
    uint32_t t = samplePosition;
    const uint32_t end = t + static_cast<uint32_t>(total);
    int32_t remaining = total;

    while (!eventQueue.empty()) {
        // Samples before the first event: none when it is overdue, the rest of the block when
        // it falls at or after the block's end.
        const int32_t ahead = samplesAhead(eventQueue.front()->time, t);
        const int32_t n = ahead < remaining ? std::max(ahead, int32_t{0}) : remaining;
        if (n > 0) {
            (this->*processFunction)(start, n);
            t += static_cast<uint32_t>(n);
            remaining -= n;
            samplePosition = t;
            if (remaining == 0) {
                return;
            }
            start += n;
        }
        std::unique_ptr<ModuleEvent, void (*)(ModuleEvent*)> node(eventQueue.popFront(),
                                                                  &releaseNode);
        handleEvent(node.get());
    }
    (this->*processFunction)(start, remaining);
    samplePosition = end;
}

}  // namespace trigger_framework
