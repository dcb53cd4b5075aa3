// Hosts that leave things out: fewer pins than described, no Function text, streams without a
// buffer, block sizes at the integer limits. The module keeps to what exists and keeps running.
#include <gtest/gtest.h>

#include <limits>
#include <ostream>

#include "tests/expression_module/expression_rig.h"

namespace expression_test {
namespace {

using host_protocol::HostOpcode;
using host_protocol::PinStatus;

struct FewerPinsCase {
    const char* name;
    int32_t hostPins;
    PinStatus aStatus;
    bool sleeps;  // whether the module asks to sleep after a block
    friend void PrintTo(const FewerPinsCase& c, std::ostream* out) { *out << c.name; }
};

// Pins the host does not keep count as Static, and Y is not reported when it is not kept.
const FewerPinsCase kFewerPinsCases[] = {
    {"NoPins", 0, PinStatus::Streaming, false},  // the event never reaches the module
    {"UpToAOnlyStreaming", 3, PinStatus::Streaming, false},
    {"UpToAOnlyOneShot", 3, PinStatus::OneShot, true},
    {"AllButYStreaming", 6, PinStatus::Streaming, false},
    {"AllButYOneShot", 6, PinStatus::OneShot, true},
};

class FewerPinsTest : public testing::TestWithParam<FewerPinsCase> {};

TEST_P(FewerPinsTest, MissingPinsAreNeitherReadNorReported) {
    const FewerPinsCase& test = GetParam();
    ExpressionRig rig(RigOptions().withHostPins(test.hostPins));
    rig.setFunction("a");
    rig.fill(ExpressionPin::A, 0.25f);
    rig.sendStatus(ExpressionPin::A, test.aStatus);
    // Pins the host keeps but no one asked about stay quiet too.
    rig.sendStatus(ExpressionPin::B, PinStatus::Static);

    for (int32_t call = 0; call < 2; ++call) {
        for (float y : rig.processY(0, 64)) ASSERT_EQ(y, 0.25f);
    }
    EXPECT_TRUE(rig.reportedStatuses().empty());
    EXPECT_EQ(rig.sleepRequests() > 0, test.sleeps);
}

INSTANTIATE_TEST_SUITE_P(HostPins, FewerPinsTest, testing::ValuesIn(kFewerPinsCases), CaseName());

TEST(UnsetPins, NoTextAndNoBuffersRunWithoutAFault) {
    ExpressionRig rig(RigOptions().withoutPinsWritten());
    rig.fill(ExpressionPin::Y, -7.0f);
    rig.process(0, 64);  // nothing to read, nothing to write
    for (float y : rig.buffer(ExpressionPin::Y)) ASSERT_EQ(y, -7.0f);

    // A Function text the host never set is the empty text.
    rig.connect(ExpressionPin::Y);
    rig.connect(ExpressionPin::A);
    rig.fill(ExpressionPin::A, 0.25f);
    for (float y : rig.processY(0, 64)) ASSERT_EQ(y, 0.0f);

    rig.setFunction("a");
    for (float y : rig.processY(0, 64)) ASSERT_EQ(y, 0.25f);
}

TEST(UnsetPins, InputWithoutABufferReadsZero) {
    ExpressionRig rig;
    rig.setFunction("a + b + 5");
    rig.setInputs(0.25f, 0.125f, 0.0f, 0.0f);
    rig.disconnect(ExpressionPin::A);
    for (float y : rig.processY(0, 64)) ASSERT_EQ(y, 0.625f);  // 0 V + 1.25 V + 5 V
}

TEST(UnsetPins, EvaluationGoesOnWhileYHasNoBuffer) {
    ExpressionRig rig;
    rig.setFunction("a");
    rig.fill(ExpressionPin::A, 0.25f);
    rig.disconnect(ExpressionPin::Y);
    rig.fill(ExpressionPin::Y, -7.0f);
    rig.process(0, 64);
    for (float y : rig.buffer(ExpressionPin::Y)) ASSERT_EQ(y, -7.0f);

    // The tenfold step after the unseen evaluation at 0.25 keeps its value once Y is back.
    rig.connect(ExpressionPin::Y);
    rig.fill(ExpressionPin::A, 2.5f);
    for (float y : rig.processY(0, 64)) ASSERT_EQ(y, 0.25f);
}

// A block size at the lower integer limit puts the countdown there; it saturates instead of
// wrapping round to a count that would hold the request back.
TEST(SleepCountdown, BlockSizeAtTheIntegerLimitStillSleeps) {
    ExpressionRig rig;
    rig.instance().dispatch(host_protocol::DispatcherOpcode::SetBlockSize, 0,
                            std::numeric_limits<int32_t>::min());
    rig.sendStatus(ExpressionPin::A, PinStatus::OneShot);
    for (int32_t call = 0; call < 3; ++call) rig.process(0, 64);
    EXPECT_EQ(rig.instance().calls().count(HostOpcode::SleepRequest), 3u);
}

}  // namespace
}  // namespace expression_test
