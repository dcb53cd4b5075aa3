// Kesh Clock's properties, output statuses and sleep through the real export.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "tests/trigger_modules/case_name.h"
#include "tests/trigger_modules/trigger_rig.h"
#include "trigger_plugins/clock/clock_pins.h"

namespace trigger_test {
namespace {

using host_protocol::PinDataType;
using host_protocol::PinStatus;
using kesh_clock::ClockPin;

constexpr int32_t kBlock = 64;

host::HostCall statusReport(ClockPin pin, PinStatus status, uint32_t position) {
    return {0, pinIndex(pin), static_cast<int32_t>(status), static_cast<int32_t>(position)};
}

std::vector<host::HostCall> bothOutputs(PinStatus status, uint32_t position) {
    return {statusReport(ClockPin::Clock, status, position),
            statusReport(ClockPin::Impulse, status, position)};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

TEST(ClockProperties, NameIdAndAbout) {
    TriggerRig rig(KESH_CLOCK_PATH, kBlock);
    host_protocol::ModuleProperties props{};
    ASSERT_TRUE(rig.instance().moduleProperties(props));

    EXPECT_STREQ(props.name, "Clock");
    EXPECT_STREQ(props.id, "Kesh Clock");
    const std::string about = props.about;
    EXPECT_FALSE(about.ends_with("\n"));
    const std::vector<std::string> text = lines(about);
    ASSERT_EQ(text.size(), 10u) << about;
    EXPECT_EQ(text[0], "Clock v1.2");
    EXPECT_FALSE(text[1].empty());
    EXPECT_FALSE(text[2].empty());
    const std::vector<std::string> help(text.begin() + 3, text.end());
    EXPECT_EQ(help, (std::vector<std::string>{
                        "",
                        "Quick Help:",
                        "Freq - Frequency of the clock cycle",
                        "Reset - Resets clock cycle and sends 'Impulse'",
                        "Cycles - Number of clock cycles between an 'Impulse'",
                        "Clock - Connect to clock input on a sequencer (0V/5V)",
                        "Impulse - Single-sample 5V impulse every 'Cycles' cycles",
                    }));
}

TEST(ClockProperties, SixPinsAsTheHostSeesThem) {
    struct ExpectedPin {
        const char* name;
        int32_t direction;
        PinDataType dataType;
        const char* defaultValue;
        const char* listText;
    };
    const ExpectedPin expected[] = {
        {"Freq", 0, PinDataType::Stream, "0", nullptr},
        {"Reset", 0, PinDataType::Stream, "0", nullptr},
        {"Cycles", 0, PinDataType::Stream, "16", nullptr},
        {"Clock", 1, PinDataType::Stream, nullptr, nullptr},
        {"Impulse", 1, PinDataType::Stream, nullptr, nullptr},
        {"Mode", 0, PinDataType::Enumeration, "0", "Hz,BPM"},
    };
    static_assert(std::size(expected) == kesh_clock::kClockPinCount);
    TriggerRig rig(KESH_CLOCK_PATH, kBlock);

    std::vector<void*> variables;
    for (int32_t i = 0; i < kesh_clock::kClockPinCount; ++i) {
        SCOPED_TRACE(expected[i].name);
        host_protocol::PinProperties props{};
        ASSERT_TRUE(rig.instance().pinProperties(i, props));
        EXPECT_STREQ(props.name, expected[i].name);
        EXPECT_EQ(props.direction, expected[i].direction);
        EXPECT_EQ(props.dataType, static_cast<int32_t>(expected[i].dataType));
        EXPECT_STREQ(props.defaultValue, expected[i].defaultValue);
        EXPECT_STREQ(props.listText, expected[i].listText);
        EXPECT_EQ(props.flags, 0);
        ASSERT_NE(props.variable, nullptr);
        EXPECT_EQ(std::count(variables.begin(), variables.end(), props.variable), 0);
        variables.push_back(props.variable);
    }
    host_protocol::PinProperties props{};
    EXPECT_FALSE(rig.instance().pinProperties(kesh_clock::kClockPinCount, props));
    EXPECT_FALSE(rig.instance().pinProperties(-1, props));
}

// All defaults (Freq 0, Cycles 16 V, Hz) once the host has announced its inputs: an Impulse on
// the first sample, Clock high throughout, both outputs OneShot, and sleep after one block.
TEST(ClockStatus, DefaultsSleepAfterOneBlock) {
    TriggerRig rig(KESH_CLOCK_PATH, kBlock, 44100.0f, 500);
    rig.instance().calls().clear();
    rig.fill(pinIndex(ClockPin::Cycles), 1.6f);
    rig.sendStatusAt(pinIndex(ClockPin::Freq), PinStatus::Static, 0);

    rig.process(kBlock);

    EXPECT_EQ(rig.samples(pinIndex(ClockPin::Clock), kBlock), std::vector<float>(kBlock, 0.5f));
    std::vector<float> expectedImpulse(kBlock, 0.0f);
    expectedImpulse[0] = 0.5f;
    EXPECT_EQ(rig.samples(pinIndex(ClockPin::Impulse), kBlock), expectedImpulse);
    EXPECT_EQ(rig.reportedStatuses(), bothOutputs(PinStatus::OneShot, 500));
    EXPECT_EQ(rig.sleepRequests(), 1u);
}

TEST(ClockStatus, OpenReportsBothOutputsOneShotAndStreamsUntilAChange) {
    TriggerRig rig(KESH_CLOCK_PATH, kBlock);
    EXPECT_EQ(rig.reportedStatuses(), bothOutputs(PinStatus::OneShot, 0));

    for (int block = 0; block < 4; ++block) rig.process(kBlock);
    EXPECT_EQ(rig.sleepRequests(), 0u);
}

// A host that runs blocks before it has opened the module and connected its streams gets no
// output and no fault: the module streams from creation but has no buffers yet.
TEST(ClockStatus, BlocksBeforeOpenAreSkipped) {
    const host::SingleExportPlugin plugin(KESH_CLOCK_PATH);
    const auto instance = plugin.create();
    instance->process(0, 16);
    instance->process(0, 0);
    EXPECT_EQ(instance->calls().all().size(), 0u);
}

// A pin change with the given Freq at the change's sample: what both outputs report there,
// and whether the module asks to sleep after one block's worth of samples.
struct FreqStatusCase {
    std::string name;
    float freq;
    PinStatus expected;
};

class ClockStatusTest : public testing::TestWithParam<FreqStatusCase> {};

TEST_P(ClockStatusTest, ReportAndSleep) {
    const FreqStatusCase& c = GetParam();
    TriggerRig rig(KESH_CLOCK_PATH, kBlock);
    rig.instance().calls().clear();
    std::vector<float> freq(kBlock, 0.1f);
    freq[10] = c.freq;
    rig.setSamples(pinIndex(ClockPin::Freq), freq);
    rig.sendStatusAt(pinIndex(ClockPin::Mode), PinStatus::OneShot, 10);

    rig.process(kBlock / 2);
    EXPECT_EQ(rig.reportedStatuses(), bothOutputs(c.expected, 10));
    rig.process(kBlock / 2);
    EXPECT_EQ(rig.sleepRequests(), 0u) << "asked to sleep before a block's worth of samples";
    rig.process(kBlock / 2);

    const bool streams = c.expected == PinStatus::Streaming;
    EXPECT_EQ(rig.sleepRequests(), streams ? 0u : 1u);
    rig.process(kBlock);
    EXPECT_EQ(rig.sleepRequests(), streams ? 0u : 2u) << "asks again at every later call";
}

INSTANTIATE_TEST_SUITE_P(PinChanges, ClockStatusTest,
                         testing::Values(FreqStatusCase{"FreqPositive", 0.1f, PinStatus::Streaming},
                                         FreqStatusCase{"FreqZero", 0.0f, PinStatus::OneShot},
                                         FreqStatusCase{"FreqNegative", -0.1f, PinStatus::OneShot},
                                         FreqStatusCase{"FreqNaN",
                                                        std::numeric_limits<float>::quiet_NaN(),
                                                        PinStatus::OneShot}),
                         CaseName());

}  // namespace
}  // namespace trigger_test
