// Kesh Clock's Clock and Impulse outputs through the real export. Expected samples follow from
// the rules: period = (0.1 / Freq) × sample rate (× 60 in BPM mode), Clock high while the phase
// is below half the period, the wrap tested after the outputs are written, and an Impulse once
// the completed cycles reach Cycles × 10 − 0.5.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/trigger_modules/case_name.h"
#include "tests/trigger_modules/clock_trace.h"
#include "trigger_plugins/clock/clock_pins.h"

namespace trigger_test {
namespace {

using host_protocol::PinStatus;
using kesh_clock::ClockMode;
using kesh_clock::ClockPin;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kOneVolt = 0.1f;
constexpr float kSixteenVolts = 1.6f;

struct ClockSetting {
    float sampleRate;
    float freq;
    float cycles;
    ClockMode mode = ClockMode::Hertz;
};

TriggerRig makeClock(const ClockSetting& setting, int32_t blockSize) {
    TriggerRig rig(KESH_CLOCK_PATH, blockSize, setting.sampleRate);
    rig.fill(pinIndex(ClockPin::Freq), setting.freq);
    rig.fill(pinIndex(ClockPin::Cycles), setting.cycles);
    if (setting.mode != ClockMode::Hertz) {
        rig.sendStatusAt(pinIndex(ClockPin::Mode), PinStatus::OneShot, 0,
                         static_cast<int32_t>(setting.mode));
    }
    return rig;
}

struct ShapeCase {
    std::string name;
    ClockSetting setting;
    uint64_t samples;
    std::vector<HighRun> expectedHighRuns;
    std::vector<uint64_t> expectedImpulses;
};

class ClockShapeTest : public testing::TestWithParam<ShapeCase> {};

TEST_P(ClockShapeTest, HighRunsAndImpulses) {
    const ShapeCase& c = GetParam();
    TriggerRig rig = makeClock(c.setting, 64);

    const ClockTrace trace = traceClock(rig, c.samples);

    EXPECT_EQ(trace.highRuns, c.expectedHighRuns);
    EXPECT_EQ(trace.impulses, c.expectedImpulses);
    EXPECT_EQ(trace.strayValues, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Periods, ClockShapeTest,
    testing::Values(
        // Period 4: Clock 0.5, 0.5, 0, 0, 0, then 0.5, 0, 0, 0 repeating; Cycles 1 V fires on the
        // first sample of every cycle.
        ShapeCase{"PeriodOfFourSamples",
                  {4.0f, kOneVolt, kOneVolt},
                  17,
                  {{0, 2}, {5, 1}, {9, 1}, {13, 1}},
                  {0, 5, 9, 13}},
        // Every cycle after the first starts at a phase of 1, not below half of 2.
        ShapeCase{"PeriodOfTwoSamples", {2.0f, kOneVolt, kSixteenVolts}, 20, {{0, 1}}, {0}},
        ShapeCase{"PeriodOfOneAndAHalfSamples", {1.5f, kOneVolt, kSixteenVolts}, 20, {{0, 1}}, {0}},
        // 120 BPM at 44100: 0.1 / 12 × 44100 stores 367.5, × 60 gives 22050.
        ShapeCase{"BeatsPerMinute",
                  {44100.0f, 12.0f, kSixteenVolts, ClockMode::BeatsPerMinute},
                  77175,
                  {{0, 11025}, {22051, 11024}, {44101, 11024}, {66151, 11024}},
                  {0}},
        // The same Freq in hertz: a period of 367.5 samples, half of it 183.75.
        ShapeCase{"HertzWithFractionalPeriod",
                  {44100.0f, 12.0f, kSixteenVolts},
                  1000,
                  {{0, 184}, {369, 183}, {736, 183}},
                  {0}},
        // Negative period: Clock never high, and every sample completes a cycle.
        ShapeCase{"NegativeFreq", {44100.0f, -kOneVolt, kSixteenVolts}, 40, {}, {0, 16, 32}},
        // Infinite period (Freq 0) or NaN period: Clock stays high, no cycle completes.
        ShapeCase{"ZeroFreq", {44100.0f, 0.0f, kOneVolt}, 20, {{0, 20}}, {0}},
        ShapeCase{"NaNFreq", {44100.0f, kNaN, kOneVolt}, 20, {{0, 20}}, {0}},
        // A quotient beyond the float range stores an infinite period.
        ShapeCase{"PeriodBeyondFloatRange",
                  {44100.0f, std::numeric_limits<float>::denorm_min(), kOneVolt},
                  20,
                  {{0, 20}},
                  {0}}),
    CaseName());

// Freq 1 V at 44100 with Cycles 16 V: period 44100, threshold 15.5. The first cycle runs from
// sample 0 to 44100 (high for 22050 samples); every later one is 44100 long, high for 22049.
TEST(ClockWorkedExample, OneHertzSixteenCycles) {
    TriggerRig rig = makeClock({44100.0f, kOneVolt, kSixteenVolts}, 4096);

    const ClockTrace trace = traceClock(rig, 1411300);

    EXPECT_EQ(trace.impulses, (std::vector<uint64_t>{0, 705601, 1411201}));
    EXPECT_EQ(trace.strayValues, 0u);
    ASSERT_EQ(trace.highRuns.size(), 33u);
    EXPECT_EQ(trace.highRuns.front(), (HighRun{0, 22050}));
    for (std::size_t k = 1; k + 1 < trace.highRuns.size(); ++k) {
        EXPECT_EQ(trace.highRuns[k], (HighRun{44101 + 44100 * (k - 1), 22049})) << "cycle " << k;
    }
    EXPECT_EQ(trace.highRuns.back(), (HighRun{1411201, 99}));
}

// The phase is a float: at 16777216 adding 1 no longer changes it, so a longer period never
// completes and Clock stays low after its half period.
TEST(ClockWorkedExample, PeriodAboveTwoTo24NeverCompletes) {
    TriggerRig rig = makeClock({17000000.0f, kOneVolt, kOneVolt}, 65536);

    const ClockTrace trace = traceClock(rig, 20000000);

    EXPECT_EQ(trace.highRuns, (std::vector<HighRun>{{0, 8500000}}));
    EXPECT_EQ(trace.impulses, (std::vector<uint64_t>{0}));
}

// The number of cycles between Impulses is Cycles in volts rounded to the nearest whole number,
// halves going down; a threshold not above 0 leaves only the Impulse after open. Period 4: the
// first cycle is 5 samples long, so an Impulse every n cycles falls on 0, 4n + 1, 8n + 1, ...
struct CyclesCase {
    std::string name;
    float cycles;
    std::vector<uint64_t> expectedImpulses;
};

const std::vector<uint64_t> kEveryCycle = {0,  5,  9,  13, 17, 21, 25, 29, 33,
                                           37, 41, 45, 49, 53, 57, 61, 65, 69};

class ClockCyclesTest : public testing::TestWithParam<CyclesCase> {};

TEST_P(ClockCyclesTest, ImpulsePositions) {
    TriggerRig rig = makeClock({4.0f, kOneVolt, GetParam().cycles}, 64);
    EXPECT_EQ(traceClock(rig, 70).impulses, GetParam().expectedImpulses);
}

INSTANTIATE_TEST_SUITE_P(
    Rounding, ClockCyclesTest,
    testing::Values(CyclesCase{"SixteenVolts", 1.6f, {0, 65}},
                    CyclesCase{"TwoPointSixVoltsRoundsUp", 0.26f, {0, 13, 25, 37, 49, 61}},
                    CyclesCase{
                        "TwoPointFiveVoltsRoundsDown", 0.25f, {0, 9, 17, 25, 33, 41, 49, 57, 65}},
                    CyclesCase{"OnePointFiveVoltsRoundsDown", 0.15f, kEveryCycle},
                    CyclesCase{"HalfAVoltStillEveryCycle", 0.05f, kEveryCycle},
                    CyclesCase{"FourTenthsOfAVoltNoneAfterFirst", 0.04f, {0}},
                    CyclesCase{"Zero", 0.0f, {0}}, CyclesCase{"Negative", -0.3f, {0}},
                    CyclesCase{"NaN", kNaN, {0}},
                    CyclesCase{"BeyondFloatRange", std::numeric_limits<float>::max(), {0}}),
    CaseName());

// Reset at period 4 with Cycles 16 V. A Reset rise counts only at a pin change: the change's
// sample then carries an Impulse and starts a new cycle with Clock high.
struct ResetCase {
    std::string name;
    std::vector<float> reset;
    std::vector<std::pair<ClockPin, uint32_t>> changes;
    std::vector<HighRun> expectedHighRuns;
    std::vector<uint64_t> expectedImpulses;
};

const std::vector<HighRun> kRunsWithoutRestart = {{0, 2},  {5, 1},  {9, 1},  {13, 1},
                                                  {17, 1}, {21, 1}, {25, 1}, {29, 1}};
const std::vector<HighRun> kRunsRestartedAt11 = {{0, 2},  {5, 1},  {9, 1},  {11, 2},
                                                 {16, 1}, {20, 1}, {24, 1}, {28, 1}};

std::vector<float> resetHighFrom(std::size_t first, std::size_t end = 32) {
    std::vector<float> reset(32, 0.0f);
    std::fill(reset.begin() + static_cast<std::ptrdiff_t>(first),
              reset.begin() + static_cast<std::ptrdiff_t>(end), 1.0f);
    return reset;
}

class ClockResetTest : public testing::TestWithParam<ResetCase> {};

TEST_P(ClockResetTest, RestartsAtChange) {
    const ResetCase& c = GetParam();
    TriggerRig rig = makeClock({4.0f, kOneVolt, kSixteenVolts}, 32);
    rig.setSamples(pinIndex(ClockPin::Reset), c.reset);
    for (const auto& [pin, offset] : c.changes) {
        rig.sendStatusAt(pinIndex(pin), PinStatus::OneShot, offset);
    }

    const ClockTrace trace = traceClock(rig, 32);

    EXPECT_EQ(trace.highRuns, c.expectedHighRuns);
    EXPECT_EQ(trace.impulses, c.expectedImpulses);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ClockResetTest,
    testing::Values(ResetCase{"RiseDeliveredInsideBlock",
                              resetHighFrom(11),
                              {{ClockPin::Reset, 11}},
                              kRunsRestartedAt11,
                              {0, 11}},
                    ResetCase{
                        "RiseWithoutPinChange", resetHighFrom(11), {}, kRunsWithoutRestart, {0}},
                    ResetCase{"OtherPinChangesAsResetRises",
                              resetHighFrom(11),
                              {{ClockPin::Cycles, 11}},
                              kRunsRestartedAt11,
                              {0, 11}},
                    ResetCase{"ResetAlreadyHighAtLastSample",
                              resetHighFrom(11),
                              {{ClockPin::Reset, 11}, {ClockPin::Freq, 20}, {ClockPin::Reset, 24}},
                              kRunsRestartedAt11,
                              {0, 11}},
                    ResetCase{"FallingReset",
                              resetHighFrom(0, 11),
                              {{ClockPin::Reset, 11}},
                              kRunsWithoutRestart,
                              {0}}),
    CaseName());

}  // namespace
}  // namespace trigger_test
