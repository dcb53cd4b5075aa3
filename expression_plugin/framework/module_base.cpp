#include "expression_plugin/framework/module_base.h"

#include <cstring>
#include <limits>
#include <new>

namespace two_export_framework {

using host_protocol::DispatcherOpcode;
using host_protocol::EventType;
using host_protocol::HostOpcode;
using host_protocol::ModuleEvent;
using host_protocol::PinProperties;
using host_protocol::pin_flags::Hidden;
using host_protocol::pin_flags::Kept;
using host_protocol::pin_flags::Repeat;
using host_protocol::two_export::ModuleRecord;
using host_protocol::two_export::ProcessFunctionInfo;

namespace {

// Shared by every instance of the library and rewritten by each opcode-13 call: the host reads
// it before it asks again.
ProcessFunctionInfo processFunctionInfo{};

// The slot length the host is told: the 32-bit slot, whatever a wider test build makes of it.
constexpr int32_t kProcessSlotSize = 16;
#if PROTOCOL_LAYOUT_32
static_assert(sizeof(host_protocol::two_export::ProcessFunctionSlot) == kProcessSlotSize);
#endif

void PROTOCOL_CALL emptyProcess(void*, int32_t, int32_t) {}

// Who calls: the host, with the record. Module code must not let an exception reach the host.
intptr_t PROTOCOL_CALL dispatcherEntry(ModuleRecord* record, int32_t opcode, int32_t index,
                                       int32_t value, void* ptr, float opt) {
    try {
        return static_cast<ModuleBase*>(record->instance)->dispatch(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

// Who calls: the host, with the instance from record offset 12; the host owns the event.
void PROTOCOL_CALL eventHandlerEntry(void* instance, ModuleEvent* event) {
    try {
        static_cast<ModuleBase*>(instance)->handleEvent(event);
    } catch (...) {
    }
}

bool getsPin(const PinProperties& props) {
    return (props.flags & Hidden) == 0 || (props.flags & Kept) != 0;
}

}  // namespace

ModuleBase::ModuleBase(host_protocol::HostCallback hostCallback, void* hostData)
    : hostCallback_(hostCallback),
      record_{.magic = host_protocol::two_export::kMagic,
              .one = 1,
              .hostData = hostData,
              .instance = this,
              .reserved0 = 0,
              .dispatcher = &dispatcherEntry,
              .process = &emptyProcess,
              .eventHandler = &eventHandlerEntry,
              .reserved1 = {}},
      processFunction_{.function = &emptyProcess, .zero = {}} {}

ModuleBase::~ModuleBase() = default;

void ModuleBase::pinChanged(Pin*) {}

void ModuleBase::handleEvent(ModuleEvent* event) {
    switch (static_cast<EventType>(event->type)) {
        case EventType::PinStatus:
            // A pin the host does not keep, or one no description reached, ignores its events.
            if (event->data3 >= 0 && event->data3 < pinCount_) {
                pins_[event->data3].onStatusEvent(event->data1);
            }
            break;
        case EventType::Data:
            onDataEvent(static_cast<int32_t>(event->time), event->data1,
                        static_cast<int16_t>(event->data2 & 0xffff));
            break;
        case EventType::RunRoutine:
            // The host names one of this module's routines by its code address.
            if (event->data3 != 0) {
                reinterpret_cast<ModuleRoutine>(event->data3)(this);
            }
            break;
        default:
            break;
    }
}

intptr_t ModuleBase::dispatch(int32_t opcode, int32_t index, int32_t value, void* ptr, float opt) {
    switch (static_cast<DispatcherOpcode>(opcode)) {
        case DispatcherOpcode::Open:
            open();
            return 0;
        case DispatcherOpcode::Close:
            close();
            delete this;
            return 1;
        case DispatcherOpcode::SetSampleRate:
            setSampleRate(opt);
            return 0;
        case DispatcherOpcode::SetBlockSize:
            setBlockSize(value);
            return 0;
        case DispatcherOpcode::GetPinProperties:
            if (ptr == nullptr) return 0;
            return getPinProperties(index, static_cast<PinProperties*>(ptr)) ? 1 : 0;
        case DispatcherOpcode::Resume:
            resume();
            if (index > 0) resumeWith(index);
            return 0;
        case DispatcherOpcode::Opcode12:
            handleOpcode12(value, index, ptr);
            return 0;
        case DispatcherOpcode::ProcessFunctionInfo:
            processFunctionInfo = ProcessFunctionInfo{
                .one = 1, .slotSize = kProcessSlotSize, .slot = &processFunction_, .zero = 0};
            return reinterpret_cast<intptr_t>(&processFunctionInfo);
        default:
            return 0;
    }
}

void ModuleBase::open() {
    buildPinTable();
}

void ModuleBase::close() {}

void ModuleBase::spareHook(int32_t, int32_t) {}

void ModuleBase::setSampleRate(float sampleRate) {
    sampleRate_ = sampleRate;
}

void ModuleBase::setBlockSize(int32_t blockSize) {
    blockSize_ = blockSize;
}

float ModuleBase::getSampleRate() {
    return sampleRate_;
}

int32_t ModuleBase::getBlockSize() {
    return blockSize_;
}

bool ModuleBase::getPinProperties(int32_t, PinProperties*) {
    return false;
}

bool ModuleBase::spareQueryA(void*) {
    return false;
}

bool ModuleBase::spareQueryB(void*) {
    return false;
}

void ModuleBase::resume() {}

void ModuleBase::resumeWith(int32_t) {}

void ModuleBase::onDataEvent(int32_t, int32_t, int16_t) {}

void ModuleBase::handleOpcode12(int32_t, int32_t, void*) {}

intptr_t ModuleBase::callHost(HostOpcode opcode, int32_t index, int32_t value, int32_t data,
                              float opt) {
    if (hostCallback_ == nullptr) return 0;
    return hostCallback_(&record_, static_cast<int32_t>(opcode), index, value, data, opt);
}

Pin* ModuleBase::getPin(int32_t index) {
    if (index < 0 || index >= pinCount_) return nullptr;
    return &pins_[index];
}

int32_t ModuleBase::sampleClock() {
    return static_cast<int32_t>(callHost(HostOpcode::SampleClock));
}

void ModuleBase::setProcessFunction(ProcessFunction fn) {
    if (fn == processFunction_.function) return;
    processFunction_ = {.function = fn, .zero = {}};
    record_.process = fn;
    callHost(HostOpcode::ProcessChanged);
}

bool ModuleBase::readPinProperties(int32_t index, PinProperties* props) {
    std::memset(props, 0, sizeof(*props));
    return getPinProperties(index, props);
}

bool ModuleBase::buildPinTable() {
    const intptr_t hostPins = callHost(HostOpcode::PinCount);
    const int32_t count = hostPins <= 0 ? 0
                          : hostPins > std::numeric_limits<int32_t>::max()
                              ? std::numeric_limits<int32_t>::max()
                              : static_cast<int32_t>(hostPins);

    std::unique_ptr<Pin[]> table;
    if (count > 0) {
        table.reset(new (std::nothrow) Pin[static_cast<std::size_t>(count)]);
        if (!table) return false;
    }

    PinProperties props;
    int32_t place = 0;
    int32_t description = 0;
    while (readPinProperties(description, &props) && place < count) {
        // A hidden description takes no place unless it is also kept, so later ones move down.
        if (getsPin(props)) {
            table[place].init(this, place, props.dataType, props.variable);
            ++place;
        }
        ++description;
    }

    // The last description read, repeated over the host's remaining places when it asks to be.
    // With no description read there is nothing to repeat, so index -1 is never asked for.
    if (description > 0 && readPinProperties(description - 1, &props) && getsPin(props) &&
        (props.flags & Repeat) != 0) {
        for (; place < count; ++place) {
            table[place].init(this, place, props.dataType, nullptr);
        }
    }

    pins_ = std::move(table);
    pinCount_ = count;
    return true;
}

}  // namespace two_export_framework
