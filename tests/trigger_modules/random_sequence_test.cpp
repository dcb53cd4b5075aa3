// Kesh-Rnd's draws, re-seeds and Output through the real export. Expected values follow from
// the generator's rules: state × 1664525 + 1013904223 modulo 2^32, and the held value
// (m − 2^22) / 2^23 for m the new state's low 23 bits.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/trigger_modules/case_name.h"
#include "tests/trigger_modules/trigger_rig.h"
#include "trigger_plugins/random/random_pins.h"

namespace trigger_test {
namespace {

using kesh_rnd::RandomPin;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Seed 1234 V (stream 123.4): states 3067928073, 889114580, 3219257635.
constexpr float kSeed1234 = 123.4f;
constexpr float kFirst = 0.22552597522735596f;
constexpr float kSecond = 0.49071741104125977f;
constexpr float kThird = 0.2654155492782593f;
// Seed −1234 V: state 2^32 − 1234 = 4294966062, then 3254847669 and 1503756944.
constexpr float kNegativeFirst = -0.4919217824935913f;
constexpr float kNegativeSecond = -0.2382030487060547f;
// State 0 draws 1013904223 (0x3C6EF35F).
constexpr float kFromZero = 0.3668020963668823f;

// Inputs per sample; a shorter list is padded with its last value.
struct SequenceCase {
    std::string name;
    std::vector<float> gate;
    std::vector<float> plant;
    std::vector<float> seed;
    std::vector<float> level;
    std::vector<float> expectedOutput;
};

std::vector<float> padded(std::vector<float> samples, std::size_t size) {
    samples.resize(size, samples.back());
    return samples;
}

class RandomSequenceTest : public testing::TestWithParam<SequenceCase> {};

TEST_P(RandomSequenceTest, OutputPerSample) {
    const SequenceCase& c = GetParam();
    const std::size_t size = c.expectedOutput.size();
    TriggerRig rig(KESH_RND_PATH, 64);
    rig.setSamples(pinIndex(RandomPin::Gate), padded(c.gate, size));
    rig.setSamples(pinIndex(RandomPin::Plant), padded(c.plant, size));
    rig.setSamples(pinIndex(RandomPin::Seed), padded(c.seed, size));
    rig.setSamples(pinIndex(RandomPin::Level), padded(c.level, size));

    const std::vector<float> output =
        rig.processBlock(pinIndex(RandomPin::Output), static_cast<int32_t>(size));

    ASSERT_EQ(output.size(), size);
    for (std::size_t i = 0; i < size; ++i) {
        EXPECT_EQ(output[i], c.expectedOutput[i]) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Draws, RandomSequenceTest,
    testing::Values(
        SequenceCase{"SeedSequence1234V",
                     {1, 0, 1, 0, 1, 0},
                     {0},
                     {kSeed1234},
                     {1},
                     {kFirst, kFirst, kSecond, kSecond, kThird, kThird}},
        SequenceCase{"NegativeSeedKeepsLow32Bits",
                     {1, 0, 1},
                     {0},
                     {-kSeed1234},
                     {1},
                     {kNegativeFirst, kNegativeFirst, kNegativeSecond}},
        SequenceCase{"SeedTruncatesTowardZero",  // 1234.5 V seeds 1234, −1234.5 V seeds −1234
                     {1, 0, 1, 0},
                     {0, 0, 1, 0},
                     {123.45f, 123.45f, -123.45f},
                     {1},
                     {kFirst, kFirst, kNegativeFirst, kNegativeFirst}},
        SequenceCase{
            "SeedBelowOneVoltGivesStateZero", {1}, {0}, {0.0001f}, {1}, {kFromZero, kFromZero}},
        SequenceCase{"OutputIsZeroBeforeFirstDraw",
                     {0, 0, 0, 1},
                     {0},
                     {kSeed1234},
                     {1},
                     {0, 0, 0, kFirst, kFirst}},
        SequenceCase{"GateHeldHighDrawsOnce",
                     {1, 1, 1, 1, 0.5f, 2},
                     {0},
                     {kSeed1234},
                     {1},
                     {kFirst, kFirst, kFirst, kFirst, kFirst, kFirst, kFirst}},
        SequenceCase{"GateMustFallToZeroOrBelow",
                     {1, 0.25f, -0.5f, 1, 0, 0.001f},
                     {0},
                     {kSeed1234},
                     {1},
                     {kFirst, kFirst, kFirst, kSecond, kSecond, kThird}},
        SequenceCase{"NaNGateIsLowAndNaNPreviousGateCountsLow",
                     {kNaN, 1, kNaN, 1, 1},
                     {0},
                     {kSeed1234},
                     {1},
                     {0, kFirst, kFirst, kSecond, kSecond}},
        SequenceCase{"OutputFollowsLevelPerSample",
                     {1, 0},
                     {0},
                     {kSeed1234},
                     {1, 0.5f, -1, 0, 0.25f, 2},
                     {kFirst, kFirst * 0.5f, -kFirst, 0, kFirst * 0.25f, kFirst * 2}},
        SequenceCase{"PlantAndGateTogetherReplayFirstValue",
                     {1, 0, 1, 0, 1, 0},
                     {1, 0, 1, 0, 1, 0},
                     {kSeed1234},
                     {1},
                     {kFirst, kFirst, kFirst, kFirst, kFirst, kFirst}},
        SequenceCase{"PlantRestartsSequenceFromSeed",
                     {1, 0, 1, 0, 1, 0, 1},
                     {0, 0, 0, 0, 1, 1, 1},
                     {kSeed1234},
                     {1},
                     {kFirst, kFirst, kSecond, kSecond, kFirst, kFirst, kSecond}},
        SequenceCase{"PlantTakesSeedOfItsOwnSample",
                     {1, 0, 1, 0, 1},
                     {0, 0, 1, 0, 1},
                     {kSeed1234, kSeed1234, -kSeed1234, -kSeed1234, kSeed1234},
                     {1},
                     {kFirst, kFirst, kNegativeFirst, kNegativeFirst, kFirst}},
        SequenceCase{"PlantWithZeroSeedChangesNothing",
                     {1, 0, 1},
                     {0, 0, 1},
                     {kSeed1234, kSeed1234, 0},
                     {1},
                     {kFirst, kFirst, kSecond}},
        SequenceCase{"PlantWithNaNSeedChangesNothing",
                     {1, 0, 1},
                     {0, 0, 1},
                     {kSeed1234, kSeed1234, kNaN},
                     {1},
                     {kFirst, kFirst, kSecond}},
        SequenceCase{"NaNPlantIsLow",
                     {1, 0, 1, 0, 1},
                     {kNaN, kNaN, 1, 1, kNaN},
                     {kSeed1234},
                     {1},
                     {kFirst, kFirst, kFirst, kFirst, kSecond}}),
    CaseName());

// Seeds whose product with 10 lies at or past the edge of the 64-bit range, or keeps bits above
// 2^32. Each is tried at seeding and at a Plant edge; under UndefinedBehaviorSanitizer these
// also show that no conversion goes out of range.
struct SeedEdgeCase {
    std::string name;
    float seed;
    float expectedFirstDraw;
};

// 2^37 + 2^20: × 10 is 1310730 × 2^20 exactly, whose low 32 bits are 10 × 2^20 = 10485760.
constexpr float kBigSeed = 137440002048.0f;
// The float nearest 2^63 / 10, whose product with 10 rounds to 2^63 exactly.
constexpr float kTwoTo63Over10 = 0x1.99999ap59f;

const SeedEdgeCase kSeedEdges[] = {
    {"Huge", 1e30f, kFromZero},
    {"HugeNegative", -1e30f, kFromZero},
    {"LargestFloatOverflowsTimesTen", std::numeric_limits<float>::max(), kFromZero},
    {"Infinite", kInf, kFromZero},
    {"NegativeInfinite", -kInf, kFromZero},
    {"ProductIsTwoTo63", kTwoTo63Over10, kFromZero},
    {"ProductIsMinusTwoTo63", -kTwoTo63Over10, kFromZero},
    // State 10485760 draws 76477279; state 2^32 − 10485760 = 4284481536 draws 1951331167.
    {"HighBitsDropped", kBigSeed, -0.3831979036331177f},
    {"NegativeHighBitsDropped", -kBigSeed, 0.11680209636688232f},
    {"Denormal", std::numeric_limits<float>::denorm_min(), kFromZero},
};

class RandomSeedEdgeTest : public testing::TestWithParam<SeedEdgeCase> {};

TEST_P(RandomSeedEdgeTest, AtSeeding) {
    TriggerRig rig(KESH_RND_PATH, 64);
    rig.setSamples(pinIndex(RandomPin::Seed), {GetParam().seed});
    rig.setSamples(pinIndex(RandomPin::Gate), {1});
    rig.fill(pinIndex(RandomPin::Level), 1.0f);

    EXPECT_EQ(rig.processBlock(pinIndex(RandomPin::Output), 1)[0], GetParam().expectedFirstDraw);
}

TEST_P(RandomSeedEdgeTest, AtPlantEdge) {
    TriggerRig rig(KESH_RND_PATH, 64);
    rig.setSamples(pinIndex(RandomPin::Seed), {kSeed1234, GetParam().seed});
    rig.setSamples(pinIndex(RandomPin::Plant), {0, 1});
    rig.setSamples(pinIndex(RandomPin::Gate), {0, 1});
    rig.fill(pinIndex(RandomPin::Level), 1.0f);

    EXPECT_EQ(rig.processBlock(pinIndex(RandomPin::Output), 2)[1], GetParam().expectedFirstDraw);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomSeedEdgeTest, testing::ValuesIn(kSeedEdges), CaseName());

// Seeding happens once per open, in the first process call, even one of 0 samples; it reads
// the Seed sample at that call's start.
TEST(RandomSeeding, FirstCallSeedsEvenWithoutSamples) {
    TriggerRig rig(KESH_RND_PATH, 64);
    rig.setSamples(pinIndex(RandomPin::Seed), {kSeed1234});
    rig.process(0);
    rig.setSamples(pinIndex(RandomPin::Seed), {-kSeed1234});
    rig.setSamples(pinIndex(RandomPin::Gate), {1});
    rig.fill(pinIndex(RandomPin::Level), 1.0f);

    EXPECT_EQ(rig.processBlock(pinIndex(RandomPin::Output), 1)[0], kFirst);
}

// A second open clears the held value and the last Gate sample and seeds again from Seed, so
// the sequence replays from its start.
TEST(RandomSeeding, ReopenReplaysFromSeed) {
    TriggerRig rig(KESH_RND_PATH, 64);
    rig.setSamples(pinIndex(RandomPin::Seed), {kSeed1234});
    rig.setSamples(pinIndex(RandomPin::Gate), {1, 0, 1});
    rig.fill(pinIndex(RandomPin::Level), 1.0f);
    ASSERT_EQ(rig.processBlock(pinIndex(RandomPin::Output), 3)[2], kSecond);

    rig.instance().open();
    rig.setSamples(pinIndex(RandomPin::Gate), {0, 1});
    const std::vector<float> output = rig.processBlock(pinIndex(RandomPin::Output), 2);

    EXPECT_EQ(output[0], 0.0f);
    EXPECT_EQ(output[1], kFirst);
}

}  // namespace
}  // namespace trigger_test
