// The record handed out by main and the dispatcher's answers, as the host sees them.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/single_export_framework/probe_fixture.h"

namespace probe {
namespace {

using host_protocol::DispatcherOpcode;
using host_protocol::ModuleProperties;
using host_protocol::PinProperties;
using host_protocol::single_export::kMagic;
using host_protocol::single_export::ModuleRecord;

class Record : public testing::TestWithParam<Variant> {};

TEST_P(Record, LayoutAsHandedOut) {
    Probe probe(GetParam(), integerPins(1));
    const ModuleRecord* record = probe.host().record();
    EXPECT_EQ(record->magic, kMagic);
    EXPECT_NE(record->dispatcher, nullptr);
    EXPECT_NE(record->process, nullptr);
    EXPECT_NE(record->instance, nullptr);
    EXPECT_EQ(record->one, 1);
    const uint32_t zero[15] = {};
    EXPECT_EQ(std::memcmp(record->reserved0, zero, sizeof record->reserved0), 0);
    EXPECT_EQ(record->reserved1, 0u);
    EXPECT_EQ(std::memcmp(record->reserved2, zero, sizeof record->reserved2), 0);
}

// Opcodes the form does not handle, and the defaults no probe overrides, answer 0 and leave
// the module untouched.
TEST_P(Record, UnhandledOpcodesAnswerZero) {
    Probe probe(GetParam(), integerPins(1));
    probe.host().open();
    probe.clearLog();
    ModuleProperties props{};
    for (const int32_t opcode : {5, 9, 11, 12, 13, 14, 99, -1}) {
        SCOPED_TRACE(opcode);
        EXPECT_EQ(probe.host().dispatch(opcode, 1, 2, &props, 0.5f), 0);
    }
    EXPECT_EQ(props.name, nullptr);
    EXPECT_EQ(probe.log.count, 0);
    EXPECT_TRUE(probe.queueEmpty());
}

TEST_P(Record, PinPropertiesAnswersOnlyForDescribedPins) {
    Probe probe(GetParam(), integerPins(2));
    PinProperties props{};
    EXPECT_EQ(probe.host().dispatch(DispatcherOpcode::GetPinProperties, 1, 0, &props), 1);
    EXPECT_EQ(probe.host().dispatch(DispatcherOpcode::GetPinProperties, 2, 0, &props), 0);
    // No record to fill: nothing is described.
    EXPECT_EQ(probe.host().dispatch(DispatcherOpcode::GetPinProperties, 0, 0, nullptr), 0);
}

// Close answers 1 and destroys the instance, with events and deferred calls still queued
// (the sanitizer build checks that they are released).
TEST_P(Record, CloseDestroysTheInstanceWithEventsQueued) {
    Probe probe(GetParam(), integerPins(2));
    probe.host().open();
    probe.queue(1, host_protocol::EventType::Data, kScheduleCall, 1000, 0);
    probe.host().process(0, 4);  // schedules a deferred call at 1001
    probe.host().sendStatus(1, host_protocol::PinStatus::OneShot, 5, 500);
    probe.queue(600, host_protocol::EventType::Data, 1, 2, 0);
    EXPECT_FALSE(probe.queueEmpty());
    EXPECT_EQ(probe.host().close(), 1);
    EXPECT_EQ(probe.entries(Kind::Destroyed).size(), 1u);
    EXPECT_TRUE(probe.entries(Kind::DeferredCall).empty());
    EXPECT_TRUE(probe.entries(Kind::PinChanged).empty());
}

TEST_P(Record, SampleRateAndBlockSizeAnswerZero) {
    Probe probe(GetParam(), integerPins(1));
    EXPECT_EQ(probe.host().dispatch(DispatcherOpcode::SetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(probe.host().dispatch(DispatcherOpcode::SetBlockSize, 0, 256), 0);
}

// Each call of main makes an instance of its own.
TEST_P(Record, EachMainCallMakesItsOwnInstance) {
    host::SingleExportPlugin plugin(GetParam().path);
    ModuleRecord* first = plugin.main(nullptr);
    ModuleRecord* second = plugin.main(nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->instance, second->instance);
    EXPECT_EQ(first->dispatcher(first, 1, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(second->dispatcher(second, 1, 0, 0, nullptr, 0.0f), 1);
}

INSTANTIATE_TEST_SUITE_P(BothCopies, Record, testing::Values(kStandard, kClock), variantName);

}  // namespace
}  // namespace probe
