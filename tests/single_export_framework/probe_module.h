// A test-only module over either copy of the framework: it describes the pins its
// configuration asks for and logs every call the framework makes into it.
#pragma once

#include <cstring>

#include "host_protocol/host_callback.h"
#include "host_protocol/pin_properties.h"
#include "tests/single_export_framework/probe_protocol.h"

namespace probe {

template <class Base>
class ProbeModule : public Base {
  public:
    using Pin = typename Base::Pin;

    explicit ProbeModule(host_protocol::HostCallback callback) : Base(callback) {
        this->setProcessFunction(&ProbeModule::processFirst);
    }

    ~ProbeModule() override { record(Kind::Destroyed); }

    bool answerQuery4(void* ptr) override {
        config = static_cast<const Config*>(ptr);
        return config != nullptr;
    }

    bool getPinProperties(int32_t index, host_protocol::PinProperties* props) override {
        if (config == nullptr || index < 0 || index >= config->describedPins) {
            return false;
        }
        const PinDescription& pin = config->pins[index];
        props->dataType = pin.dataType;
        props->flags = pin.flags;
        // A pin without a variable leaves the field as it finds it, so the record's previous
        // contents show through where the framework does not clear it.
        if (pin.withVariable) {
            props->variable = &variables[index];
        }
        return true;
    }

    void open() override {
        Base::open();
        for (int32_t place = 0; place < this->getPinCount(); ++place) {
            const Pin* pin = this->getPin(place);
            const int32_t variable = variableNumber(pin->getVariable());
            intptr_t own = 0;
            if (variable == kOwnValue) {
                std::memcpy(&own, pin->getVariable(), sizeof own);
            }
            record(Kind::PinBinding, place, pin->getDataType(), variable, 0, own);
        }
    }

    void pinChanged(Pin* pin) override {
        intptr_t word = 0;
        const int32_t value = readValue(*pin, word);
        record(Kind::PinChanged, pin->getIndex(), pin->getStatus(), value, 0, word);
        if (config != nullptr && config->switchRoutineOnChange) {
            usingFirst = !usingFirst;
            if (usingFirst) {
                this->setProcessFunction(&ProbeModule::processFirst);
            } else {
                this->setProcessFunction(&ProbeModule::processSecond);
            }
        }
    }

    void onDataEvent(int32_t time, int32_t data1, int16_t data2) override {
        record(Kind::DataEvent, time, data1, data2);
        if (data1 == kScheduleCall) {
            this->scheduleCall(this->sampleClock() + static_cast<uint32_t>(data2),
                               &ProbeModule::deferred);
        }
    }

  private:
    void processFirst(int32_t start, int32_t count) { recordProcess(start, count, 0); }
    void processSecond(int32_t start, int32_t count) { recordProcess(start, count, 1); }
    void deferred() { record(Kind::DeferredCall); }

    void recordProcess(int32_t start, int32_t count, int32_t routine) {
        const Pin* first = this->getPin(0);
        record(Kind::Process, start, count, routine, first != nullptr ? first->getStatus() : -1);
    }

    int32_t variableNumber(const void* variable) const {
        if (variable == nullptr) {
            return kNoVariable;
        }
        for (int32_t i = 0; i < kMaxPins; ++i) {
            if (variable == &variables[i]) {
                return i;
            }
        }
        return kOwnValue;
    }

    static int32_t readValue(const Pin& pin, intptr_t& word) {
        using host_protocol::PinDataType;
        const void* variable = pin.getVariable();
        if (pin.getDataType() == static_cast<int32_t>(PinDataType::Stream)) {
            const float sample = pin.currentSample();
            int32_t bits = 0;
            std::memcpy(&bits, &sample, sizeof bits);
            return bits;
        }
        if (variable == nullptr) {
            return 0;
        }
        switch (static_cast<PinDataType>(pin.getDataType())) {
            case PinDataType::Enumeration: {
                int16_t choice = 0;
                std::memcpy(&choice, variable, sizeof choice);
                return choice;
            }
            case PinDataType::Boolean: {
                uint8_t flag = 0;
                std::memcpy(&flag, variable, sizeof flag);
                return flag;
            }
            case PinDataType::Integer: {
                int32_t number = 0;
                std::memcpy(&number, variable, sizeof number);
                return number;
            }
            default:
                std::memcpy(&word, variable, sizeof word);
                return 0;
        }
    }

    void record(Kind kind, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0,
                intptr_t word = 0) {
        if (config == nullptr || config->log == nullptr || config->log->count >= kMaxEntries) {
            return;
        }
        config->log->entries[config->log->count++] =
            Entry{kind, a, b, c, d, this->sampleClock(), word};
    }

    const Config* config = nullptr;
    // One variable per describable pin, wide enough for any data type's value.
    alignas(8) intptr_t variables[kMaxPins] = {};
    bool usingFirst = true;
};

}  // namespace probe
