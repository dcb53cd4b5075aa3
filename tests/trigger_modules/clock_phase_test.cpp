// Kesh Clock's outputs, sample for sample, against its rules carried out literally one sample at
// a time: the phase a float that grows by 1 per sample (so it rounds once it is large or finely
// divided), the outputs written before the wrap test, the period and the Impulse threshold taken
// from the first sample of each process call. Periods are chosen where a float phase rounds:
// fractions, just below powers of two, millions of samples, a few samples, negative, infinite;
// calls have random lengths and Freq may change at every call.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/trigger_modules/case_name.h"
#include "tests/trigger_modules/trigger_rig.h"
#include "trigger_plugins/clock/clock_pins.h"

namespace trigger_test {
namespace {

using host_protocol::PinStatus;
using kesh_clock::ClockMode;
using kesh_clock::ClockPin;

constexpr float kHigh = 0.5f;
constexpr float kLow = 0.0f;
constexpr int32_t kBlockSize = 4096;

// The clock's rules, one process call at a time, from open on.
class LiteralClock {
  public:
    LiteralClock(float sampleRate, ClockMode mode) : sampleRate_(sampleRate), mode_(mode) {}

    void process(float freq, float cycles, int32_t count, std::vector<float>& clock,
                 std::vector<float>& impulse) {
        float period = static_cast<float>(static_cast<double>(0.1f) / static_cast<double>(freq) *
                                          static_cast<double>(sampleRate_));
        if (mode_ == ClockMode::BeatsPerMinute) period = period * 60.0f;
        float threshold = static_cast<float>(static_cast<double>(cycles) * 10.0 - 0.5);
        if (!(threshold > 0.0f)) threshold = std::numeric_limits<float>::max();
        clock.assign(static_cast<std::size_t>(count), kLow);
        impulse.assign(static_cast<std::size_t>(count), kLow);
        for (std::size_t i = 0; i < clock.size(); ++i) {
            if (cyclesDone_ >= threshold) {
                impulse[i] = kHigh;
                cyclesDone_ = 0.0f;
            }
            if (!(phase_ >= period * 0.5f)) clock[i] = kHigh;
            if (phase_ >= period) {
                phase_ = phase_ - period;
                cyclesDone_ = cyclesDone_ + 1.0f;
            }
            phase_ = phase_ + 1.0f;
        }
    }

  private:
    float sampleRate_;
    ClockMode mode_;
    float phase_ = 0.0f;
    float cyclesDone_ = std::numeric_limits<float>::max();
};

struct PhaseCase {
    std::string name;
    float sampleRate;
    ClockMode mode;
    std::vector<float> freqs;  // one is drawn for each call
    float cycles;
    int64_t samples;
};

class ClockPhaseTest : public testing::TestWithParam<PhaseCase> {};

TEST_P(ClockPhaseTest, OutputsFollowTheSampleBySampleRules) {
    const PhaseCase& c = GetParam();
    TriggerRig rig(KESH_CLOCK_PATH, kBlockSize, c.sampleRate);
    if (c.mode != ClockMode::Hertz) {
        rig.sendStatusAt(pinIndex(ClockPin::Mode), PinStatus::OneShot, 0,
                         static_cast<int32_t>(c.mode));
    }
    rig.fill(pinIndex(ClockPin::Cycles), c.cycles);
    LiteralClock literal(c.sampleRate, c.mode);
    std::mt19937 random(2024);
    std::uniform_int_distribution<int32_t> lengths(1, kBlockSize);
    std::uniform_int_distribution<std::size_t> draws(0, c.freqs.size() - 1);
    std::vector<float> clock;
    std::vector<float> impulse;
    for (int64_t done = 0; done < c.samples;) {
        const float freq = c.freqs[draws(random)];
        const int32_t count = lengths(random);
        rig.fill(pinIndex(ClockPin::Freq), freq);
        const std::vector<float> clockOut = rig.processBlock(pinIndex(ClockPin::Clock), count);
        const std::vector<float> impulseOut = rig.samples(pinIndex(ClockPin::Impulse), count);
        literal.process(freq, c.cycles, count, clock, impulse);
        for (int32_t i = 0; i < count; ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (std::bit_cast<uint32_t>(clockOut[at]) != std::bit_cast<uint32_t>(clock[at]) ||
                std::bit_cast<uint32_t>(impulseOut[at]) != std::bit_cast<uint32_t>(impulse[at])) {
                FAIL() << "sample " << done + i << " (Freq " << freq << "): Clock " << clockOut[at]
                       << " Impulse " << impulseOut[at] << ", the rules give " << clock[at]
                       << " and " << impulse[at];
            }
        }
        done += count;
    }
}

// Freq in volts for a period of about `samples` samples at 44.1 kHz.
float freqForPeriod(double samples) {
    return static_cast<float>(0.1 * 44100.0 / samples);
}

INSTANTIATE_TEST_SUITE_P(
    Periods, ClockPhaseTest,
    testing::Values(
        PhaseCase{
            "FractionalPeriod", 44100.0f, ClockMode::Hertz, {freqForPeriod(1000.37)}, 0.4f, 200000},
        PhaseCase{"JustBelowAPowerOfTwo",
                  44100.0f,
                  ClockMode::Hertz,
                  {freqForPeriod(16383.9), freqForPeriod(4095.99)},
                  0.3f,
                  400000},
        PhaseCase{
            "MillionsOfSamples", 44100.0f, ClockMode::Hertz, {freqForPeriod(3.1e6)}, 0.2f, 8000000},
        PhaseCase{"AFewSamples",
                  44100.0f,
                  ClockMode::Hertz,
                  {freqForPeriod(7.3), freqForPeriod(15.99), freqForPeriod(16.0)},
                  0.5f,
                  100000},
        PhaseCase{"BeatsPerMinute",
                  44100.0f,
                  ClockMode::BeatsPerMinute,
                  {freqForPeriod(1234.5) * 60.0f},
                  1.6f,
                  300000},
        PhaseCase{"FreqChangingAtEveryCall",
                  48000.0f,
                  ClockMode::Hertz,
                  {0.0013f, 0.02f, 0.2f, 0.7f, 1.9f, 12.5f, 100.0f},
                  0.8f,
                  1000000},
        PhaseCase{"NegativeFreq", 44100.0f, ClockMode::Hertz, {-0.3f, 0.05f}, 0.2f, 100000},
        PhaseCase{"ZeroFreq", 44100.0f, ClockMode::Hertz, {0.0f}, 0.2f, 100000}),
    CaseName());

}  // namespace
}  // namespace trigger_test
