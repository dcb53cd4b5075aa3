// The demo patch end to end: clock → random generator → semitone quantiser, checked against
// values worked out from the modules' rules.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tool_run.h"

namespace module_host_test {
namespace {

// The demo renders 4 s at 44100 Hz. The clock runs at 4 Hz: a period of exactly 11025 samples
// (0.1f / 0.4f is exactly 0.25). The first cycle after open or a reset lasts one sample longer
// and stays high one sample longer (phases 0 to 5512 below the half period 5512.5); later
// cycles start at phase 1 and are high for 5512 samples.
constexpr uint64_t kSamples = 176400;
constexpr uint64_t kPeriod = 11025;
constexpr uint64_t kResetSample = 119070;  // 2.7 s, in the low half of a cycle, mid-block

struct Cycle {
    uint64_t start;
    uint64_t highSamples;
};

std::vector<Cycle> clockCycles() {
    std::vector<Cycle> cycles;
    for (uint64_t firstStart : {uint64_t(0), kResetSample}) {
        uint64_t end = firstStart == 0 ? kResetSample : kSamples;
        cycles.push_back({firstStart, 5513});
        for (uint64_t start = firstStart + kPeriod + 1; start < end; start += kPeriod)
            cycles.push_back({start, 5512});
    }
    return cycles;
}

// Kesh-Rnd's draw: the LCG step, then the low 23 bits as the fraction of a float in [1, 2),
// less 1.5.
float draw(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return std::bit_cast<float>((state & 0x007FFFFFu) | 0x3F800000u) - 1.5f;
}

// The expression "y = floor(a * 12 + 0.5) / 12" over a in volts, as Y in stream units.
float quantised(float output) {
    double a = double(output * 10.0f);
    double result = std::floor(a * 12 + 0.5) / 12;
    return float(result * double(0.1f));
}

class DemoPatch : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new ScratchFolder();
        run_ = new ToolRun(runModuleHost(
            {"render", MODULE_HOST_EXAMPLES_DIR "/demo.json", "--out", "out", "--csv"},
            folder_->path()));
        if (run_->exitStatus == 0)
            channels_ = new std::vector<std::vector<float>>(
                readWavChannels(folder_->path() / "out" / "demo.wav"));
    }
    static void TearDownTestSuite() {
        delete channels_;
        delete run_;
        delete folder_;
    }
    void SetUp() override {
        ASSERT_EQ(run_->exitStatus, 0) << run_->err;
        ASSERT_EQ(channels_->size(), 4u);
        ASSERT_EQ(clock().size(), kSamples);
    }

    static const std::vector<float>& clock() { return (*channels_)[0]; }
    static const std::vector<float>& impulse() { return (*channels_)[1]; }
    static const std::vector<float>& randomOutput() { return (*channels_)[2]; }
    static const std::vector<float>& quantiserY() { return (*channels_)[3]; }

    static ScratchFolder* folder_;
    static ToolRun* run_;
    static std::vector<std::vector<float>>* channels_;
};

ScratchFolder* DemoPatch::folder_ = nullptr;
ToolRun* DemoPatch::run_ = nullptr;
std::vector<std::vector<float>>* DemoPatch::channels_ = nullptr;

TEST_F(DemoPatch, ClockIsHighForTheFirstPartOfEveryCycle) {
    std::vector<float> expected(kSamples, 0.0f);
    for (const Cycle& cycle : clockCycles())
        for (uint64_t i = cycle.start; i < cycle.start + cycle.highSamples && i < kSamples; ++i)
            expected[i] = 0.5f;
    for (uint64_t i = 0; i < kSamples; ++i) ASSERT_EQ(clock()[i], expected[i]) << "sample " << i;
}

TEST_F(DemoPatch, ImpulsesFallEveryEightCyclesAndOnTheResetSample) {
    // The first after open, the first sample of cycle 8, and the Reset's own sample.
    const std::set<uint64_t> expected = {0, 11026 + 7 * kPeriod, kResetSample};
    for (uint64_t i = 0; i < kSamples; ++i)
        ASSERT_EQ(impulse()[i], expected.contains(i) ? 0.5f : 0.0f) << "sample " << i;
}

TEST_F(DemoPatch, RandomOutputStepsOnEveryClockEdgeAndQuantiserFollows) {
    // Seed 1234 V seeds the state 1234; Level 2 V is the stream value 0.2.
    uint32_t state = 1234;
    std::vector<Cycle> cycles = clockCycles();
    for (size_t k = 0; k < cycles.size(); ++k) {
        float held = draw(state) * 0.2f;
        uint64_t first = cycles[k].start;
        uint64_t last = k + 1 < cycles.size() ? cycles[k + 1].start - 1 : kSamples - 1;
        for (uint64_t i : {first, (first + last) / 2, last}) {
            EXPECT_EQ(randomOutput()[i], held) << "draw " << k << ", sample " << i;
            EXPECT_EQ(quantiserY()[i], quantised(held)) << "draw " << k << ", sample " << i;
        }
        if (first > 0) {
            EXPECT_NE(randomOutput()[first - 1], held) << "draw " << k;
        }
    }
}

TEST_F(DemoPatch, QuantisedOutputLiesOnSemitones) {
    for (uint64_t i = 0; i < kSamples; i += 1000) {
        double semitones = double(quantiserY()[i]) * 10.0 * 12.0;
        EXPECT_NEAR(semitones, std::round(semitones), 1e-4) << "sample " << i;
    }
}

TEST_F(DemoPatch, SummaryAndCsvDescribeTheRecording) {
    // 17 clock edges: one per cycle start, the Reset's included.
    std::vector<std::string> clockRow = summaryRow(run_->out, "clk.Clock");
    ASSERT_EQ(clockRow.size(), 5u) << run_->out;
    EXPECT_EQ(clockRow[1], "0.0000");  // min V
    EXPECT_EQ(clockRow[2], "5.0000");  // max V
    EXPECT_EQ(clockRow[4], "17");      // rising edges
    std::ifstream csv(folder_->path() / "out" / "demo.csv");
    std::string header;
    std::getline(csv, header);
    EXPECT_EQ(header, "sample,time_s,clk.Clock V,clk.Impulse V,rnd.Output V,quant.Y V");
    std::string row;
    std::getline(csv, row);
    EXPECT_EQ(row.substr(0, 10), "0,0,5,5,0.");  // clock high and an Impulse at sample 0
    uint64_t rows = 1;
    while (std::getline(csv, row)) ++rows;
    EXPECT_EQ(rows, kSamples);
}

}  // namespace
}  // namespace module_host_test
