// The pin table built at open: one Pin per described pin, and what fills the places the host
// keeps beyond them in each copy of the framework.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "tests/single_export_framework/probe_fixture.h"

namespace probe {
namespace {

using host::HostCall;
using host_protocol::HostOpcode;
using host_protocol::PinDataType;
using host_protocol::PinStatus;
using host_protocol::pin_flags::Repeat;

constexpr int32_t kStream = static_cast<int32_t>(PinDataType::Stream);
constexpr int32_t kInteger = static_cast<int32_t>(PinDataType::Integer);
constexpr int32_t kEnumeration = static_cast<int32_t>(PinDataType::Enumeration);
constexpr int32_t kInert = -1;  // data type of a place no description reaches

// (place, data type, variable) as the probe logged them after the last open.
struct Binding {
    int32_t place;
    int32_t dataType;
    int32_t variable;
    intptr_t ownValue;

    bool operator==(const Binding&) const = default;
};

void PrintTo(const Binding& b, std::ostream* out) {
    *out << "{" << b.place << ", type " << b.dataType << ", variable " << b.variable << ", own "
         << b.ownValue << "}";
}

std::vector<Binding> bindings(const Probe& probe) {
    std::vector<Binding> found;
    for (const Entry& e : probe.entries(Kind::PinBinding)) {
        found.push_back({e.a, e.b, e.c, e.word});
    }
    return found;
}

std::vector<PinDescription> fiveWithLastRepeated() {
    std::vector<PinDescription> pins = integerPins(4);
    pins.push_back(pinOf(PinDataType::Stream, Repeat));
    return pins;
}

TEST(StandardPinTable, RepeatedPinsTakeTheHostsValues) {
    Probe probe(kStandard, fiveWithLastRepeated());
    probe.host().setPinCount(7);
    probe.host().open();
    const auto buffer5 = reinterpret_cast<intptr_t>(probe.host().buffer(5).data());
    const auto buffer6 = reinterpret_cast<intptr_t>(probe.host().buffer(6).data());
    EXPECT_EQ(bindings(probe), (std::vector<Binding>{{0, kInteger, 0, 0},
                                                     {1, kInteger, 1, 0},
                                                     {2, kInteger, 2, 0},
                                                     {3, kInteger, 3, 0},
                                                     {4, kStream, 4, 0},
                                                     {5, kStream, kOwnValue, buffer5},
                                                     {6, kStream, kOwnValue, buffer6}}));
    EXPECT_EQ(probe.host().calls().with(HostOpcode::PinValue),
              (std::vector<HostCall>{{7, 5, 0, 0}, {7, 6, 0, 0}}));
}

// A repeated pin reads its samples from the buffer the host answered for it.
TEST(StandardPinTable, RepeatedStreamPinReadsItsOwnBuffer) {
    Probe probe(kStandard, fiveWithLastRepeated());
    probe.host().setPinCount(7);
    probe.host().open();
    probe.host().buffer(6)[3] = 0.125f;
    probe.host().sendStatus(6, PinStatus::OneShot, 0, 3);
    probe.host().process(0, 8);
    const std::vector<Entry> changes = probe.entries(Kind::PinChanged);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].a, 6);
    EXPECT_EQ(changes[0].c, std::bit_cast<int32_t>(0.125f));
}

TEST(StandardPinTable, HostAnswerZeroLeavesNoVariable) {
    Probe probe(kStandard, fiveWithLastRepeated());
    probe.host().setPinCount(7);
    probe.host().setPinValue(6, 0);
    probe.host().open();
    EXPECT_EQ(bindings(probe).back(), (Binding{6, kStream, kNoVariable, 0}));
}

// Without the flag the extra places stay inert: a status event for one changes nothing.
TEST(StandardPinTable, WithoutRepeatFlagExtraPlacesAreInert) {
    Probe probe(kStandard, integerPins(5));
    probe.host().setPinCount(7);
    probe.host().open();
    const std::vector<Binding> table = bindings(probe);
    ASSERT_EQ(table.size(), 7u);
    EXPECT_EQ(table[5], (Binding{5, kInert, kNoVariable, 0}));
    EXPECT_EQ(table[6], (Binding{6, kInert, kNoVariable, 0}));
    EXPECT_EQ(probe.host().calls().count(HostOpcode::PinValue), 0u);
    probe.host().sendStatus(6, PinStatus::OneShot, 5, 2);
    probe.host().process(0, 4);
    EXPECT_EQ(probe.trace(), "P0+2@0 P2+2@2");
}

// The standard copy clears the record before each description it binds.
TEST(StandardPinTable, DescriptionsAreReadIntoAClearedRecord) {
    Probe probe(kStandard, {pinOf(PinDataType::Integer), pinOf(PinDataType::Integer, 0, false)});
    probe.host().open();
    EXPECT_EQ(bindings(probe),
              (std::vector<Binding>{{0, kInteger, 0, 0}, {1, kInteger, kNoVariable, 0}}));
}

TEST(ClockPinTable, ExtraPlacesShareTheLastVariableWithoutAskingTheHost) {
    std::vector<PinDescription> pins = integerPins(5);
    pins.push_back(pinOf(PinDataType::Enumeration));
    Probe probe(kClock, pins);
    probe.host().setPinCount(8);
    probe.host().open();
    const std::vector<Binding> table = bindings(probe);
    ASSERT_EQ(table.size(), 8u);
    EXPECT_EQ(table[5], (Binding{5, kEnumeration, 5, 0}));
    EXPECT_EQ(table[6], (Binding{6, kEnumeration, 5, 0}));
    EXPECT_EQ(table[7], (Binding{7, kEnumeration, 5, 0}));
    EXPECT_EQ(probe.host().calls().count(HostOpcode::PinValue), 0u);

    // A change of place 7 is written as pin 5's data type, into pin 5's variable.
    probe.host().sendStatus(7, PinStatus::OneShot, 0x10003, 1);
    probe.host().process(0, 4);
    const std::vector<Entry> changes = probe.entries(Kind::PinChanged);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].a, 7);
    EXPECT_EQ(changes[0].c, 3);
}

// The flag that the standard copy reads means nothing to the clock copy.
TEST(ClockPinTable, RepeatFlagMakesNoDifference) {
    Probe probe(kClock, fiveWithLastRepeated());
    probe.host().setPinCount(7);
    probe.host().open();
    const std::vector<Binding> table = bindings(probe);
    ASSERT_EQ(table.size(), 7u);
    EXPECT_EQ(table[6], (Binding{6, kStream, 4, 0}));
    EXPECT_EQ(probe.host().calls().count(HostOpcode::PinValue), 0u);
}

// The clock copy hands the record over uncleared, so a description that names no variable
// keeps the one left by the call before it (for the first pin, the counting pass's last).
TEST(ClockPinTable, DescriptionsAreReadIntoTheSameRecord) {
    Probe probe(kClock, {pinOf(PinDataType::Integer, 0, false), pinOf(PinDataType::Integer),
                         pinOf(PinDataType::Integer, 0, false)});
    probe.host().open();
    EXPECT_EQ(bindings(probe), (std::vector<Binding>{
                                   {0, kInteger, 1, 0}, {1, kInteger, 1, 0}, {2, kInteger, 1, 0}}));
}

class PinTable : public testing::TestWithParam<Variant> {};

// A host that keeps fewer pins (or answers nothing) still gets one Pin per described pin.
TEST_P(PinTable, AtLeastOnePinPerDescription) {
    for (const int32_t hostPins : {0, -4, 2, 5}) {
        SCOPED_TRACE(hostPins);
        Probe probe(GetParam(), integerPins(5));
        probe.host().setPinCount(hostPins);
        probe.host().open();
        const std::vector<Binding> table = bindings(probe);
        ASSERT_EQ(table.size(), 5u);
        for (int32_t i = 0; i < 5; ++i) {
            EXPECT_EQ(table[i], (Binding{i, kInteger, i, 0}));
        }
    }
}

TEST_P(PinTable, NullCallbackOpensWithOnePinPerDescription) {
    Probe probe(GetParam(), fiveWithLastRepeated(), host::InstanceOptions{.withCallback = false});
    probe.host().open();
    EXPECT_EQ(bindings(probe).size(), 5u);
    EXPECT_EQ(probe.host().calls().all().size(), 0u);
}

// open asks the host for its position (3) before its pin count (14).
TEST_P(PinTable, OpenAsksPositionThenPinCount) {
    Probe probe(GetParam(), integerPins(2));
    probe.host().open();
    EXPECT_EQ(probe.host().calls().all(), (std::vector<HostCall>{{3, 0, 0, 0}, {14, 0, 0, 0}}));
}

// A second open builds a new table (the first is released; the sanitizer build checks that).
TEST_P(PinTable, SecondOpenRebuildsTheTable) {
    Probe probe(GetParam(), integerPins(3));
    probe.host().open();
    probe.host().setPinCount(6);
    probe.clearLog();
    probe.host().open();
    const std::vector<Binding> table = bindings(probe);
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(table[2], (Binding{2, kInteger, 2, 0}));
}

// With nothing described there is no last pin to repeat.
TEST_P(PinTable, NoDescriptionsLeaveEveryPlaceInert) {
    Probe probe(GetParam(), {});
    probe.host().setPinCount(2);
    probe.host().open();
    EXPECT_EQ(bindings(probe),
              (std::vector<Binding>{{0, kInert, kNoVariable, 0}, {1, kInert, kNoVariable, 0}}));
    EXPECT_EQ(probe.host().calls().count(HostOpcode::PinValue), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothCopies, PinTable, testing::Values(kStandard, kClock), variantName);

}  // namespace
}  // namespace probe
