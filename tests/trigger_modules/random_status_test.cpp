// Kesh-Rnd's properties, output statuses, sleep and clock seed through the real export.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/trigger_modules/case_name.h"
#include "tests/trigger_modules/trigger_rig.h"
#include "trigger_plugins/random/random_pins.h"

namespace trigger_test {
namespace {

using host_protocol::PinStatus;
using kesh_rnd::RandomPin;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int32_t kBlock = 64;

// Taken before the test program loads any plug-in: no library can have been loaded earlier.
const std::chrono::steady_clock::time_point programStart = std::chrono::steady_clock::now();

host::HostCall statusReport(RandomPin pin, PinStatus status, uint32_t position) {
    return {0, pinIndex(pin), static_cast<int32_t>(status), static_cast<int32_t>(position)};
}

TEST(RandomProperties, NameIdAndAbout) {
    TriggerRig rig(KESH_RND_PATH, kBlock);
    host_protocol::ModuleProperties props{};
    ASSERT_TRUE(rig.instance().moduleProperties(props));

    EXPECT_STREQ(props.name, "Kesh-Rnd");
    EXPECT_STREQ(props.id, "Kesh-Rnd");
    const std::string about = props.about;
    EXPECT_TRUE(about.starts_with("Seeded Random Generator v1.2\n")) << about;
    EXPECT_EQ(std::count(about.begin(), about.end(), '\n'), 2) << about;
    EXPECT_FALSE(about.ends_with("\n"));
}

TEST(RandomProperties, FivePinsAsTheHostSeesThem) {
    struct ExpectedPin {
        const char* name;
        int32_t direction;
        const char* defaultValue;
        const char* listText;
    };
    const ExpectedPin expected[] = {
        {"Gate", 0, "0", nullptr},       {"Level", 0, "10", nullptr},
        {"Output", 1, nullptr, nullptr}, {"Seed", 0, "0", "10000,0,10000,0"},
        {"Plant", 0, "0", nullptr},
    };
    static_assert(std::size(expected) == kesh_rnd::kRandomPinCount);
    TriggerRig rig(KESH_RND_PATH, kBlock);

    std::vector<void*> variables;
    for (int32_t i = 0; i < kesh_rnd::kRandomPinCount; ++i) {
        SCOPED_TRACE(expected[i].name);
        host_protocol::PinProperties props{};
        ASSERT_TRUE(rig.instance().pinProperties(i, props));
        EXPECT_STREQ(props.name, expected[i].name);
        EXPECT_EQ(props.direction, expected[i].direction);
        EXPECT_EQ(props.dataType, static_cast<int32_t>(host_protocol::PinDataType::Stream));
        EXPECT_STREQ(props.defaultValue, expected[i].defaultValue);
        EXPECT_STREQ(props.listText, expected[i].listText);
        EXPECT_EQ(props.flags, 0);
        ASSERT_NE(props.variable, nullptr);
        EXPECT_EQ(std::count(variables.begin(), variables.end(), props.variable), 0);
        variables.push_back(props.variable);
    }
    host_protocol::PinProperties props{};
    EXPECT_FALSE(rig.instance().pinProperties(kesh_rnd::kRandomPinCount, props));
    EXPECT_FALSE(rig.instance().pinProperties(-1, props));
}

TEST(RandomStatus, OpenReportsOutputOneShotAtHostPosition) {
    TriggerRig rig(KESH_RND_PATH, kBlock);
    EXPECT_EQ(rig.reportedStatuses(),
              std::vector<host::HostCall>{statusReport(RandomPin::Output, PinStatus::OneShot, 0)});
}

// A host that runs blocks before it has opened the module and connected its streams gets no
// output and no fault: the module streams from creation but has no buffers yet.
TEST(RandomStatus, BlocksBeforeOpenAreSkipped) {
    const host::SingleExportPlugin plugin(KESH_RND_PATH);
    const auto instance = plugin.create();
    instance->process(0, 16);
    instance->process(0, 0);
    EXPECT_EQ(instance->calls().all().size(), 0u);
}

// A Gate status change with the given Level: the Output status reported at the change, and
// whether the module asks to sleep once one block's worth of samples has passed.
struct StatusCase {
    std::string name;
    PinStatus gateStatus;
    float level;
    PinStatus expectedOutput;
};

class RandomStatusTest : public testing::TestWithParam<StatusCase> {};

TEST_P(RandomStatusTest, ReportAndSleep) {
    const StatusCase& c = GetParam();
    TriggerRig rig(KESH_RND_PATH, kBlock, 44100.0f, 1000);
    rig.fill(pinIndex(RandomPin::Level), c.level);
    rig.sendStatusAt(pinIndex(RandomPin::Gate), c.gateStatus, 10);

    rig.process(kBlock / 2);
    EXPECT_EQ(rig.reportedStatuses().back(),
              statusReport(RandomPin::Output, c.expectedOutput, 1010));
    rig.process(kBlock / 2);
    EXPECT_EQ(rig.sleepRequests(), 0u) << "asked to sleep before a block's worth of samples";
    rig.process(kBlock / 2);

    const bool streams = c.expectedOutput == PinStatus::Streaming;
    EXPECT_EQ(rig.sleepRequests(), streams ? 0u : 1u);
    rig.process(kBlock);
    EXPECT_EQ(rig.sleepRequests(), streams ? 0u : 2u) << "asks again at every later call";
}

INSTANTIATE_TEST_SUITE_P(
    PinChanges, RandomStatusTest,
    testing::Values(
        StatusCase{"GateStreamingLevelPositive", PinStatus::Streaming, 1.0f, PinStatus::Streaming},
        StatusCase{"GateStreamingLevelZero", PinStatus::Streaming, 0.0f, PinStatus::OneShot},
        StatusCase{"GateStreamingLevelNegative", PinStatus::Streaming, -0.5f, PinStatus::OneShot},
        StatusCase{"GateStreamingLevelNaN", PinStatus::Streaming, kNaN, PinStatus::OneShot},
        StatusCase{"GateOneShot", PinStatus::OneShot, 1.0f, PinStatus::OneShot},
        StatusCase{"GateStatic", PinStatus::Static, 1.0f, PinStatus::Static}),
    CaseName());

// pinChanged reads Level at the sample of the change, not at the block's start.
TEST(RandomStatus, LevelIsReadAtTheChange) {
    TriggerRig rig(KESH_RND_PATH, kBlock);
    std::vector<float> level(kBlock, 1.0f);
    level[20] = 0.0f;
    rig.setSamples(pinIndex(RandomPin::Level), level);
    rig.sendStatusAt(pinIndex(RandomPin::Gate), PinStatus::Streaming, 5);
    rig.sendStatusAt(pinIndex(RandomPin::Gate), PinStatus::Streaming, 20);

    rig.process(kBlock);

    const auto reports = rig.reportedStatuses();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[1], statusReport(RandomPin::Output, PinStatus::Streaming, 5));
    EXPECT_EQ(reports[2], statusReport(RandomPin::Output, PinStatus::OneShot, 20));
}

// The sleep request waits while an event is queued; the change it brings restarts the count.
TEST(RandomStatus, NoSleepWhileEventsAreQueued) {
    TriggerRig rig(KESH_RND_PATH, kBlock);
    rig.sendStatusAt(pinIndex(RandomPin::Gate), PinStatus::OneShot, 0);
    rig.sendStatusAt(pinIndex(RandomPin::Gate), PinStatus::OneShot, 1000);

    std::optional<int> firstSleepBlock;
    for (int block = 0; block < 20 && !firstSleepBlock; ++block) {
        rig.process(kBlock);
        if (rig.sleepRequests() > 0) firstSleepBlock = block;
    }
    // Block 15 holds sample 1000; 24 samples follow it there, the other 40 in block 16.
    EXPECT_EQ(firstSleepBlock, 16);
}

// The draw a time seed t gives: (m − 2^22) / 2^23 for m the low 23 bits of the next state.
float firstDrawFromState(uint32_t state) {
    const uint32_t next = state * 1664525u + 1013904223u;
    return static_cast<float>((static_cast<double>(next & 0x7FFFFFu) - 4194304.0) / 8388608.0);
}

// The next draw's m depends only on the previous m: the low bits of a congruential generator
// modulo 2^32 form one modulo 2^23.
float nextDrawAfter(float held) {
    const auto m = static_cast<uint32_t>(static_cast<double>(held) * 8388608.0 + 4194304.0);
    const uint32_t next = (m * 1664525u + 1013904223u) & 0x7FFFFFu;
    return static_cast<float>((static_cast<double>(next) - 4194304.0) / 8388608.0);
}

class RandomClockSeedTest : public testing::TestWithParam<float> {};

// A Seed that is zero or NaN seeds the state with the milliseconds since the library was
// loaded; a Plant edge with such a Seed then leaves the sequence alone.
TEST_P(RandomClockSeedTest, SeedsFromMillisecondsSinceLoad) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    constexpr uint32_t kWaitMs = 40;
    TriggerRig rig(KESH_RND_PATH, kBlock);
    std::this_thread::sleep_for(milliseconds(kWaitMs));
    rig.instance().open();
    rig.setSamples(pinIndex(RandomPin::Seed), {GetParam()});
    rig.setSamples(pinIndex(RandomPin::Gate), {1, 0, 1});
    rig.setSamples(pinIndex(RandomPin::Plant), {0, 0, 1});
    rig.fill(pinIndex(RandomPin::Level), 1.0f);

    const std::vector<float> output = rig.processBlock(pinIndex(RandomPin::Output), 3);
    const auto sinceStart = static_cast<uint32_t>(
        duration_cast<milliseconds>(std::chrono::steady_clock::now() - programStart).count());

    std::optional<uint32_t> seededWith;
    for (uint32_t t = 0; t <= sinceStart + 1 && !seededWith; ++t) {
        if (firstDrawFromState(t) == output[0]) seededWith = t;
    }
    ASSERT_TRUE(seededWith.has_value())
        << "no millisecond count up to " << sinceStart << " draws " << output[0];
    EXPECT_GE(*seededWith, kWaitMs);
    EXPECT_EQ(output[2], nextDrawAfter(output[0]));
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomClockSeedTest, testing::Values(0.0f, kNaN),
                         [](const testing::TestParamInfo<float>& seed) {
                             return std::isnan(seed.param) ? "NaNSeed" : "ZeroSeed";
                         });

}  // namespace
}  // namespace trigger_test
