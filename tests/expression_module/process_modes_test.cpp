// Which process function runs: the output status reported at every pin change, per-sample or
// per-call evaluation by Process while an input streams, and the sleep request while none does.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "tests/expression_module/expression_rig.h"

namespace expression_test {
namespace {

using host_protocol::PinStatus;

constexpr int32_t kBlockSize = 1024;
constexpr int32_t kCallSize = 256;
constexpr uint32_t kEventPosition = 5000;

enum class Running {
    EverySample,      // Y follows the inputs sample by sample; no sleep request
    FirstOfEachCall,  // Y holds each call's first sample over the whole call; no sleep request
    UntilSleep,       // Y follows sample by sample; the sleep request ends the 4th call on
};

std::ostream& operator<<(std::ostream& out, Running running) {
    switch (running) {
        case Running::EverySample:
            return out << "EverySample";
        case Running::FirstOfEachCall:
            return out << "FirstOfEachCall";
        case Running::UntilSleep:
            return out << "UntilSleep";
    }
    return out;
}

// Runs six calls of 256 samples over a ramp on a (never a tenfold step, each sample exact in
// volts) with the text "a", and tells which process function produced what it saw. Gives up
// with a failure when the calls match none.
std::optional<Running> observeRunning(ExpressionRig& rig) {
    std::vector<float> ramp(kBlockSize);
    for (int32_t i = 0; i < kBlockSize; ++i) ramp[i] = static_cast<float>(i + 1) / 1024.0f;
    rig.setFunction("a");
    rig.setSamples(ExpressionPin::A, ramp);
    rig.instance().calls().clear();

    bool everySample = true;
    bool firstOfEachCall = true;
    std::vector<std::size_t> requests;
    for (int32_t call = 0; call < 6; ++call) {
        const int32_t start = (call % 4) * kCallSize;
        const std::vector<float> y = rig.processY(start, kCallSize);
        for (int32_t i = 0; i < kCallSize; ++i) {
            everySample = everySample && y[i] == ramp[start + i];
            firstOfEachCall = firstOfEachCall && y[i] == ramp[start];
        }
        requests.push_back(rig.sleepRequests());
    }
    const std::vector<std::size_t> never(6, 0);
    const std::vector<std::size_t> fromTheFourthCall{0, 0, 0, 1, 2, 3};
    if (everySample && requests == never) return Running::EverySample;
    if (firstOfEachCall && requests == never) return Running::FirstOfEachCall;
    if (everySample && requests == fromTheFourthCall) return Running::UntilSleep;
    ADD_FAILURE() << "every sample: " << everySample << ", first of each call: " << firstOfEachCall
                  << ", sleep requests: " << testing::PrintToString(requests);
    return std::nullopt;
}

// One host action: Process written first when given, then a status event when a pin is given.
struct Step {
    std::optional<int16_t> processMode;
    std::optional<ExpressionPin> pin;
    PinStatus status = PinStatus::Static;
};

struct ModeCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<PinStatus> reportedY;  // one report per status event, in order
    Running running;
    friend void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.name; }
};

const ModeCase kModeCases[] = {
    {"AfterOpen", {}, {}, Running::EverySample},
    {"NothingStreams",
     {{std::nullopt, ExpressionPin::Function, PinStatus::OneShot}},
     {PinStatus::OneShot},
     Running::UntilSleep},
    {"AStreamsAtSampleRate",
     {{0, ExpressionPin::A, PinStatus::Streaming}},
     {PinStatus::Streaming},
     Running::EverySample},
    {"DStreamsInSampleFrames",
     {{1, ExpressionPin::D, PinStatus::Streaming}},
     {PinStatus::Streaming},
     Running::FirstOfEachCall},
    {"SampleFramesWhileNothingStreams",
     {{1, ExpressionPin::Process, PinStatus::OneShot}},
     {PinStatus::OneShot},
     Running::UntilSleep},
    {"StreamingEndsInSleep",
     {{std::nullopt, ExpressionPin::A, PinStatus::Streaming},
      {std::nullopt, ExpressionPin::A, PinStatus::OneShot}},
     {PinStatus::Streaming, PinStatus::OneShot},
     Running::UntilSleep},
    {"OneOfTwoStreamsStops",
     {{std::nullopt, ExpressionPin::B, PinStatus::Streaming},
      {std::nullopt, ExpressionPin::C, PinStatus::Streaming},
      {std::nullopt, ExpressionPin::B, PinStatus::Static}},
     {PinStatus::Streaming, PinStatus::Streaming, PinStatus::Streaming},
     Running::EverySample},
    {"OnlyTheInputStreamsCount",
     {{std::nullopt, ExpressionPin::Process, PinStatus::Streaming}},
     {PinStatus::OneShot},
     Running::UntilSleep},
    {"NewProcessValueWaitsForAPinChange",
     {{0, ExpressionPin::A, PinStatus::Streaming}, {1, std::nullopt}},
     {PinStatus::Streaming},
     Running::EverySample},
    {"NewProcessValueAtThePinChange",
     {{0, ExpressionPin::A, PinStatus::Streaming},
      {1, ExpressionPin::Function, PinStatus::OneShot}},
     {PinStatus::Streaming, PinStatus::Streaming},
     Running::FirstOfEachCall},
    {"ProcessOutsideTheListKeepsSampleFrames",
     {{1, ExpressionPin::A, PinStatus::Streaming}, {7, ExpressionPin::B, PinStatus::Streaming}},
     {PinStatus::Streaming, PinStatus::Streaming},
     Running::FirstOfEachCall},
    {"ProcessOutsideTheListKeepsTheOpeningChoice",
     {{-1, ExpressionPin::A, PinStatus::Streaming}},
     {PinStatus::Streaming},
     Running::EverySample},
};

class ModeTest : public testing::TestWithParam<ModeCase> {};

TEST_P(ModeTest, ReportsYAtEveryPinChangeAndRunsTheChosenProcessFunction) {
    const ModeCase& test = GetParam();
    ExpressionRig rig(RigOptions().withBlockSize(kBlockSize));
    rig.instance().setSamplePosition(kEventPosition);
    for (const Step& step : test.steps) {
        if (step.processMode) rig.setProcessMode(*step.processMode);
        if (step.pin) rig.sendStatus(*step.pin, step.status);
    }

    std::vector<host::HostCall> expectedReports;
    for (PinStatus status : test.reportedY) {
        expectedReports.push_back({0, pinIndex(ExpressionPin::Y), static_cast<int32_t>(status),
                                   static_cast<int32_t>(kEventPosition)});
    }
    EXPECT_EQ(rig.reportedStatuses(), expectedReports);
    EXPECT_EQ(observeRunning(rig), test.running);
}

INSTANTIATE_TEST_SUITE_P(Statuses, ModeTest, testing::ValuesIn(kModeCases), CaseName());

struct CountdownCase {
    const char* name;
    int32_t blockSize;
    int32_t callSize;
    std::vector<std::size_t> requestsAfterEachCall;
    friend void PrintTo(const CountdownCase& c, std::ostream* out) { *out << c.name; }
};

const CountdownCase kCountdownCases[] = {
    {"QuarterBlockCalls", 1024, 256, {0, 0, 0, 1, 2, 3}},
    {"CallsNotDividingTheBlock", 1024, 300, {0, 0, 0, 1, 2}},
    {"WholeBlockCalls", 1024, 1024, {1, 2, 3}},
    {"BlockSizeSetByTheHost", 512, 256, {0, 1, 2, 3}},
};

class CountdownTest : public testing::TestWithParam<CountdownCase> {};

TEST_P(CountdownTest, SleepRequestOnceABlockIsProcessedAndAtEveryCallAfter) {
    const CountdownCase& test = GetParam();
    ExpressionRig rig(RigOptions().withBlockSize(test.blockSize));
    rig.sendStatus(ExpressionPin::A, PinStatus::OneShot);
    std::vector<std::size_t> requests;
    for (std::size_t call = 0; call < test.requestsAfterEachCall.size(); ++call) {
        rig.process(0, test.callSize);
        requests.push_back(rig.sleepRequests());
    }
    EXPECT_EQ(requests, test.requestsAfterEachCall);
    for (const host::HostCall& call :
         rig.instance().calls().with(host_protocol::HostOpcode::SleepRequest)) {
        EXPECT_EQ(call, (host::HostCall{10, 0, 0, 0}));
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, CountdownTest, testing::ValuesIn(kCountdownCases), CaseName());

TEST(SleepCountdown, EveryPinChangeStartsAFreshBlock) {
    ExpressionRig rig(RigOptions().withBlockSize(kBlockSize));
    rig.sendStatus(ExpressionPin::B, PinStatus::OneShot);
    for (int32_t call = 0; call < 4; ++call) rig.process(0, kCallSize);
    ASSERT_EQ(rig.sleepRequests(), 1u);

    rig.sendStatus(ExpressionPin::Function, PinStatus::OneShot);
    for (int32_t call = 0; call < 3; ++call) rig.process(0, kCallSize);
    EXPECT_EQ(rig.sleepRequests(), 1u);
    rig.process(0, kCallSize);
    EXPECT_EQ(rig.sleepRequests(), 2u);
}

// Positions outside start to start + count - 1 belong to other calls; the call writes all of its
// own, in "Sample Frames" too, with the value from its first position.
struct PositionsCase {
    const char* name;
    int16_t processMode;
    int32_t count;
    friend void PrintTo(const PositionsCase& c, std::ostream* out) { *out << c.name; }
};

const PositionsCase kPositionsCases[] = {
    {"SampleRate", 0, 32},
    {"SampleFrames", 1, 32},
    {"EmptyCall", 0, 0},
    {"NegativeCount", 1, -5},
};

class PositionsTest : public testing::TestWithParam<PositionsCase> {};

TEST_P(PositionsTest, CallWritesExactlyItsOwnPositions) {
    const PositionsCase& test = GetParam();
    constexpr int32_t kStart = 16;
    constexpr float kUntouched = -7.0f;
    ExpressionRig rig;
    rig.setFunction("a");
    rig.setProcessMode(test.processMode);
    rig.sendStatus(ExpressionPin::A, PinStatus::Streaming);
    const std::span<float> a = rig.buffer(ExpressionPin::A);
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<float>(i + 1) / 64.0f;
    rig.fill(ExpressionPin::Y, kUntouched);

    rig.process(kStart, test.count);
    const bool firstOfTheCall = test.processMode == 1;
    const std::span<float> y = rig.buffer(ExpressionPin::Y);
    for (int32_t i = 0; i < static_cast<int32_t>(y.size()); ++i) {
        const bool inCall = i >= kStart && i < kStart + test.count;
        const float expected = !inCall ? kUntouched : firstOfTheCall ? a[kStart] : a[i];
        ASSERT_EQ(y[i], expected) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, PositionsTest, testing::ValuesIn(kPositionsCases), CaseName());

}  // namespace
}  // namespace expression_test
