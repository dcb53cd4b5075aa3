// A module that describes whatever pins a test chooses and records what the framework calls.
#include <algorithm>
#include <array>
#include <cstring>

#include "expression_plugin/framework/module_base.h"
#include "expression_plugin/framework/module_exports.h"
#include "tests/two_export_framework/test_module_api.h"

namespace framework_test {
namespace {

using host_protocol::ModuleProperties;
using host_protocol::PinDataType;
using host_protocol::PinProperties;
using host_protocol::two_export::ModuleRecord;
using two_export_framework::ModuleBase;
using two_export_framework::Pin;
using two_export_framework::processTrampoline;
using two_export_framework::routineTrampoline;

void* lastCreated = nullptr;
int32_t constructedCount = 0;

class TestModule : public ModuleBase {
  public:
    TestModule(host_protocol::HostCallback callback, void* hostData)
        : ModuleBase(callback, hostData) {
        lastCreated = static_cast<ModuleBase*>(this);
        ++constructedCount;
    }

    static bool getProperties(ModuleProperties* props) {
        props->name = "Framework Test";
        props->id = "framework-test";
        props->about = "Exercises the two-export framework";
        return true;
    }

    static TestModule* of(ModuleRecord* record) {
        return static_cast<TestModule*>(static_cast<ModuleBase*>(record->instance));
    }

    void setPins(const TestPinSpec* specs, int32_t count) {
        describedCount_ = std::clamp(count, 0, kMaxTestPins);
        std::copy_n(specs, describedCount_, specs_.begin());
    }

    bool getPinProperties(int32_t index, PinProperties* props) override {
        if (index < 0 || index >= describedCount_) return false;
        const TestPinSpec& described = specs_[index];
        props->variable = described.hasVariable ? &variables_[index] : nullptr;
        props->dataType = described.dataType;
        props->name = "pin";
        props->flags = described.flags;
        return true;
    }

    void pinChanged(Pin* pin) override {
        note('P');
        trace_.changedPin = pin->index();
        trace_.changedStatus = pin->status();
    }

    void resume() override { note('R'); }

    void resumeWith(int32_t index) override {
        note('W');
        trace_.resumeWithIndex = index;
    }

    void onDataEvent(int32_t time, int32_t data1, int16_t data2) override {
        note('D');
        trace_.dataTime = time;
        trace_.data1 = data1;
        trace_.data2 = data2;
    }

    void processA(int32_t start, int32_t count) { noteProcess('a', start, count); }
    void processB(int32_t start, int32_t count) { noteProcess('b', start, count); }
    void markRoutine() { note('X'); }

    const TestTrace& trace() const { return trace_; }

  private:
    void note(char event) {
        const std::size_t used = std::strlen(trace_.events);
        if (used + 1 < sizeof(trace_.events)) trace_.events[used] = event;
    }

    void noteProcess(char event, int32_t start, int32_t count) {
        note(event);
        trace_.processStart = start;
        trace_.processCount = count;
    }

    // Wide enough for every pin data type's variable.
    union Variable {
        float* stream;
        const char* text;
        int16_t enumeration;
        uint8_t boolean;
        int32_t integer;
    };

    std::array<TestPinSpec, kMaxTestPins> specs_{};
    int32_t describedCount_ = 0;
    std::array<Variable, kMaxTestPins> variables_{};
    TestTrace trace_{};
};

intptr_t readValue(const Pin& pin) {
    if (pin.variable() == nullptr) return 0;
    switch (static_cast<PinDataType>(pin.dataType())) {
        case PinDataType::Enumeration:
            return *static_cast<const int16_t*>(pin.variable());
        case PinDataType::Boolean:
            return *static_cast<const uint8_t*>(pin.variable());
        case PinDataType::Integer:
        case PinDataType::Word:
            return *static_cast<const int32_t*>(pin.variable());
        case PinDataType::Stream:
            return *static_cast<const intptr_t*>(pin.variable());
        default:
            return 0;
    }
}

two_export_framework::ProcessFunction processRoutine(int32_t which) {
    return which == 1 ? &processTrampoline<&TestModule::processA>
                      : &processTrampoline<&TestModule::processB>;
}

}  // namespace
}  // namespace framework_test

TWO_EXPORT_MODULE(framework_test::TestModule);

using framework_test::TestModule;

PROTOCOL_EXPORT void PROTOCOL_CALL testSetPins(host_protocol::two_export::ModuleRecord* record,
                                               const framework_test::TestPinSpec* specs,
                                               int32_t count) {
    TestModule::of(record)->setPins(specs, count);
}

PROTOCOL_EXPORT int32_t PROTOCOL_CALL testPinInfo(host_protocol::two_export::ModuleRecord* record,
                                                  int32_t place,
                                                  framework_test::TestPinInfo* info) {
    TestModule* module = TestModule::of(record);
    const two_export_framework::Pin* pin = module->getPin(place);
    if (pin == nullptr) return 0;
    *info = framework_test::TestPinInfo{
        .variable = pin->variable(),
        .hasOwner = pin->owner() == module ? 1 : 0,
        .index = pin->index(),
        .status = pin->status(),
        .dataType = pin->dataType(),
        .value = framework_test::readValue(*pin),
    };
    return 1;
}

PROTOCOL_EXPORT void PROTOCOL_CALL testTrace(host_protocol::two_export::ModuleRecord* record,
                                             framework_test::TestTrace* trace) {
    *trace = TestModule::of(record)->trace();
}

PROTOCOL_EXPORT void PROTOCOL_CALL testSetProcess(host_protocol::two_export::ModuleRecord* record,
                                                  int32_t which) {
    TestModule::of(record)->setProcessFunction(framework_test::processRoutine(which));
}

PROTOCOL_EXPORT host_protocol::two_export::ProcessFunction PROTOCOL_CALL
testProcessAddress(int32_t which) {
    return framework_test::processRoutine(which);
}

PROTOCOL_EXPORT intptr_t PROTOCOL_CALL testRoutineAddress() {
    return reinterpret_cast<intptr_t>(
        &two_export_framework::routineTrampoline<&TestModule::markRoutine>);
}

PROTOCOL_EXPORT void* PROTOCOL_CALL testLastCreated() {
    return framework_test::lastCreated;
}

PROTOCOL_EXPORT int32_t PROTOCOL_CALL testConstructedCount() {
    return framework_test::constructedCount;
}
