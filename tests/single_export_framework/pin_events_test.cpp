// What an event does to a pin and to the module, by event type and pin data type.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/single_export_framework/probe_fixture.h"

namespace probe {
namespace {

using host::HostCall;
using host_protocol::EventType;
using host_protocol::HostOpcode;
using host_protocol::PinDataType;
using host_protocol::PinStatus;

class PinEvents : public testing::TestWithParam<Variant> {};

struct ValueCase {
    const char* name;
    PinDescription pin;
    int32_t value;
    int32_t seen;  // the value pinChanged reads through the pin's variable
};

// Only the bits the data type holds are written; a pin without a variable takes the event
// without any memory being touched through it.
TEST_P(PinEvents, StatusEventWritesTheValueByDataType) {
    const std::vector<ValueCase> cases = {
        {"EnumerationKeepsLow16Bits", pinOf(PinDataType::Enumeration), 0x10005, 5},
        {"EnumerationIsSigned", pinOf(PinDataType::Enumeration), 0xFFFF, -1},
        {"BooleanNonzeroIsOne", pinOf(PinDataType::Boolean), 7, 1},
        {"BooleanHighBitsOnlyIsOne", pinOf(PinDataType::Boolean), 0x100, 1},
        {"BooleanZero", pinOf(PinDataType::Boolean), 0, 0},
        {"IntegerWhole", pinOf(PinDataType::Integer), -123456, -123456},
        {"EnumerationWithoutVariable", pinOf(PinDataType::Enumeration, 0, false), 9, 0},
        {"BooleanWithoutVariable", pinOf(PinDataType::Boolean, 0, false), 9, 0},
        {"IntegerWithoutVariable", pinOf(PinDataType::Integer, 0, false), 9, 0},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Pin 0 first so that a pin without a variable follows nothing in the clock copy.
        Probe probe(GetParam(), {c.pin});
        probe.host().open();
        probe.host().sendStatus(0, PinStatus::OneShot, c.value);
        probe.host().process(0, 8);
        const std::vector<Entry> changes = probe.entries(Kind::PinChanged);
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(changes[0].a, 0);
        EXPECT_EQ(changes[0].c, c.seen);
        EXPECT_EQ(probe.host().calls().count(HostOpcode::TextPinChanged), 0u);
    }
}

TEST_P(PinEvents, TextPinTellsTheHostAndKeepsItsVariable) {
    Probe probe(GetParam(), {pinOf(PinDataType::Integer), pinOf(PinDataType::Text)});
    probe.host().open();
    probe.host().writeText(1, "ramp");
    probe.host().sendStatus(1, PinStatus::OneShot, 77);
    probe.host().process(0, 8);
    const std::vector<HostCall> texts = probe.host().calls().with(HostOpcode::TextPinChanged);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], (HostCall{2, 1, 77, 0}));
    const std::vector<Entry> changes = probe.entries(Kind::PinChanged);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(changes[0].word), "ramp");
}

// The value of a status event is not the stream's: the buffer address stays the host's.
TEST_P(PinEvents, StreamPinKeepsItsBuffer) {
    Probe probe(GetParam(), {pinOf(PinDataType::Stream)});
    probe.host().setSamplePosition(100);
    probe.host().open();
    probe.host().fill(0, 0.25f);
    probe.host().sendStatus(0, PinStatus::OneShot, 12345, 110);
    probe.host().process(0, 64);
    const std::vector<Entry> changes = probe.entries(Kind::PinChanged);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].c, std::bit_cast<int32_t>(0.25f));
}

// The sample is read at the module's clock, from the position the host gives for element 0.
TEST_P(PinEvents, CurrentSampleReadsTheElementAtTheClock) {
    Probe probe(GetParam(), {pinOf(PinDataType::Stream)});
    probe.host().setSamplePosition(110);
    probe.host().open();
    std::span<float> samples = probe.host().buffer(0);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(i);
    }
    probe.host().setBufferPosition(100);
    probe.host().sendStatus(0, PinStatus::OneShot, 0, 110);
    probe.host().process(0, 0);
    const std::vector<Entry> changes = probe.entries(Kind::PinChanged);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].c, std::bit_cast<int32_t>(10.0f));
    EXPECT_EQ(probe.host().calls().with(HostOpcode::BufferPosition),
              (std::vector<HostCall>{{8, 0, 0, 0}}));
}

// Inside a block the buffer's element 0 is the block's start, so the event's sample is found
// at start + its offset into the block.
TEST_P(PinEvents, CurrentSampleInsideABlock) {
    Probe probe(GetParam(), {pinOf(PinDataType::Stream)});
    probe.host().setSamplePosition(100);
    probe.host().open();
    probe.host().buffer(0)[15] = 0.5f;
    probe.host().sendStatus(0, PinStatus::OneShot, 0, 110);
    probe.host().process(5, 64);
    const std::vector<Entry> changes = probe.entries(Kind::PinChanged);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].c, std::bit_cast<int32_t>(0.5f));
}

// OneShot turns back to Static once pinChanged has seen it; the other statuses stay.
TEST_P(PinEvents, StatusAfterPinChanged) {
    const struct {
        PinStatus sent;
        int32_t afterwards;
    } cases[] = {{PinStatus::OneShot, 0}, {PinStatus::Streaming, 2}, {PinStatus::Static, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int32_t>(c.sent));
        Probe probe(GetParam(), integerPins(1));
        probe.host().open();
        probe.host().sendStatus(0, c.sent, 0, 4);
        probe.host().process(0, 8);
        const std::vector<Entry> changes = probe.entries(Kind::PinChanged);
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_EQ(changes[0].b, static_cast<int32_t>(c.sent));
        const std::vector<Entry> blocks = probe.entries(Kind::Process);
        ASSERT_EQ(blocks.size(), 2u);
        EXPECT_EQ(blocks[1].d, c.afterwards);
    }
}

// Events that name no pin of the table are consumed without reaching any pin.
TEST_P(PinEvents, StatusEventForNoPinIsConsumed) {
    for (const intptr_t index : {intptr_t{3}, intptr_t{-1}, intptr_t{0x7FFFFFFF}}) {
        SCOPED_TRACE(index);
        Probe probe(GetParam(), integerPins(3));
        probe.host().open();
        probe.queue(4, EventType::PinStatus, 1, 5, index);
        probe.host().process(0, 8);
        EXPECT_EQ(probe.trace(), "P0+4@0 P4+4@4");
        EXPECT_TRUE(probe.queueEmpty());
    }
}

// Before open there is no pin table; a status event then reaches nothing.
TEST_P(PinEvents, StatusEventBeforeOpenIsConsumed) {
    Probe probe(GetParam(), integerPins(1));
    probe.host().sendStatus(0, PinStatus::OneShot, 5, 0);
    probe.host().process(0, 4);
    EXPECT_EQ(probe.trace(), "P0+4@0");
}

TEST_P(PinEvents, DataEventPassesData2AsSigned16Bits) {
    Probe probe(GetParam(), integerPins(1));
    probe.host().open();
    probe.queue(1, EventType::Data, 7, 0x18000, 0);
    probe.queue(2, EventType::Data, 8, 0x7FFF, 0);
    probe.queue(3, EventType::Data, 9, -2, 0);
    probe.host().process(0, 4);
    EXPECT_EQ(probe.trace(), "P0+1@0 T1,7,-32768 P1+1@1 T2,8,32767 P2+1@2 T3,9,-2 P3+1@3");
}

// A type-3 event names a routine to run by an address; the host may not send one, so it is
// never queued. Other unknown types are queued and then ignored.
TEST_P(PinEvents, HostDeferredCallIsDroppedOtherTypesIgnored) {
    Probe probe(GetParam(), integerPins(1));
    probe.host().open();
    probe.queue(2, EventType::DeferredCall, 0, 0, 0x1234);
    EXPECT_TRUE(probe.queueEmpty());
    for (const int32_t type : {1, 21, 99}) {
        probe.queue(2, static_cast<EventType>(type), 1, 2, 0);
    }
    EXPECT_FALSE(probe.queueEmpty());
    probe.host().process(0, 4);
    EXPECT_EQ(probe.trace(), "P0+2@0 P2+2@2");
    EXPECT_TRUE(probe.queueEmpty());
}

INSTANTIATE_TEST_SUITE_P(BothCopies, PinEvents, testing::Values(kStandard, kClock), variantName);

}  // namespace
}  // namespace probe
