// Events the host delivers through the record's eventHandler.
#include <gtest/gtest.h>

#include <string>

#include "host_protocol/module_event.h"
#include "tests/two_export_framework/test_plugin.h"

namespace framework_test {
namespace {

using host_protocol::ModuleEvent;
using host_protocol::PinStatus;

constexpr int32_t kStream = 5;
constexpr int32_t kEnumeration = 0;

std::vector<TestPinSpec> fourPins() {
    return {{kStream, 0, 1}, {kEnumeration, 0, 1}, {kStream, 0, 1}, {kEnumeration, 0, 1}};
}

struct StatusCase {
    const char* name;
    PinStatus sent;
    int32_t statusAfter;
};

class StatusEvent : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusEvent, PinChangedSeesTheStatusThenOneShotTurnsStatic) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open(fourPins());
    instance->sendStatus(3, GetParam().sent);
    const TestTrace trace = test.trace(*instance);
    EXPECT_STREQ(trace.events, "P");
    EXPECT_EQ(trace.changedPin, 3);
    EXPECT_EQ(trace.changedStatus, static_cast<int32_t>(GetParam().sent));
    EXPECT_EQ(test.pin(*instance, 3)->status, GetParam().statusAfter);
}

INSTANTIATE_TEST_SUITE_P(Statuses, StatusEvent,
                         ::testing::Values(StatusCase{"OneShotTurnsStatic", PinStatus::OneShot, 0},
                                           StatusCase{"StreamingStays", PinStatus::Streaming, 2},
                                           StatusCase{"StaticStays", PinStatus::Static, 0}),
                         CaseName{});

struct IgnoredCase {
    const char* name;
    int32_t hostPins;
    ModuleEvent event;
};

class IgnoredEvent : public ::testing::TestWithParam<IgnoredCase> {};

TEST_P(IgnoredEvent, ReachesNoOperation) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open(fourPins(), GetParam().hostPins);
    instance->deliverEvent(GetParam().event);
    EXPECT_STREQ(test.trace(*instance).events, "");
}

INSTANTIATE_TEST_SUITE_P(
    Events, IgnoredEvent,
    ::testing::Values(IgnoredCase{"StatusPastThePinTable", 4, {0, 0, 1, 0, 4, nullptr}},
                      IgnoredCase{"StatusFarPastThePinTable", 4, {0, 0, 1, 0, 1 << 20, nullptr}},
                      IgnoredCase{"StatusNegativePin", 4, {0, 0, 1, 0, -1, nullptr}},
                      IgnoredCase{"StatusForUnreachedPlace", 6, {0, 0, 1, 0, 5, nullptr}},
                      IgnoredCase{"RoutineAtNullAddress", 4, {0, 21, 0, 0, 0, nullptr}},
                      IgnoredCase{"UnknownType", 4, {0, 3, 1, 0, 0, nullptr}},
                      IgnoredCase{"NegativeType", 4, {0, -1, 1, 0, 0, nullptr}}),
    CaseName{});

struct DataCase {
    const char* name;
    int32_t data2;
    int32_t expected;
};

class DataEvent : public ::testing::TestWithParam<DataCase> {};

TEST_P(DataEvent, PassesTheLowSixteenBitsSigned) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open({});
    instance->deliverEvent({1234, 2, -7, GetParam().data2, 0, nullptr});
    const TestTrace trace = test.trace(*instance);
    EXPECT_STREQ(trace.events, "D");
    EXPECT_EQ(trace.dataTime, 1234);
    EXPECT_EQ(trace.data1, -7);
    EXPECT_EQ(trace.data2, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DataEvent,
    ::testing::Values(DataCase{"BitSixteenSetReadsMostNegative", 0x18000, -32768},
                      DataCase{"LargestPositive", 0x7fff, 32767},
                      DataCase{"HighBitsDropped", 0x12345, 0x2345}, DataCase{"MinusOne", -1, -1}),
    CaseName{});

TEST(RoutineEvent, RunsTheNamedRoutineOnTheInstance) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open({});
    instance->deliverEvent({0, 21, 0, 0, test.routineAddress(), nullptr});
    EXPECT_STREQ(test.trace(*instance).events, "X");
}

}  // namespace
}  // namespace framework_test
