// When the module evaluates anew: the change test compares the inputs in volts kept from the
// latest evaluation with the raw samples, so only a tenfold step (or a not-a-number) counts as
// no change while an input is away from 0, and inputs resting at 0 reuse the latest value.
#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <vector>

#include "tests/expression_module/expression_rig.h"

namespace expression_test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct SequenceCase {
    const char* name;
    const char* text;
    std::vector<float> a;  // b, c and d stay at 0
    std::vector<float> expectedY;
    friend void PrintTo(const SequenceCase& c, std::ostream* out) { *out << c.name; }
};

const SequenceCase kSequenceCases[] = {
    // At position 2 a is 1.0 and the kept a is 1 V: no change, Y keeps the 1 V value.
    {"TenfoldStepCountsAsNoChange",
     "y = a + b + c + d",
     {0.1f, 0.1f, 1.0f, 1.0f, 1.0f, 0.5f, 1.0f},
     {0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.5f, 1.0f}},
    {"NotANumberCountsAsNoChange",
     "a",
     {0.25f, kNaN, kNaN, 0.5f, kNaN},
     {0.25f, 0.25f, 0.25f, 0.5f, 0.5f}},
    {"OrdinaryStepsAreFollowed",
     "a",
     {0.25f, 0.5f, 0.125f, 0.0f, 0.75f},
     {0.25f, 0.5f, 0.125f, 0.0f, 0.75f}},
};

class SequenceTest : public testing::TestWithParam<SequenceCase> {};

TEST_P(SequenceTest, YAlongTheSamplesOfOneCall) {
    const SequenceCase& test = GetParam();
    ExpressionRig rig;
    rig.setFunction(test.text);
    rig.setSamples(ExpressionPin::A, test.a);
    const std::vector<float> y = rig.processY(0, static_cast<int32_t>(test.a.size()));
    EXPECT_EQ(y, test.expectedY);
}

INSTANTIATE_TEST_SUITE_P(Inputs, SequenceTest, testing::ValuesIn(kSequenceCases), CaseName());

TEST(InputChanges, TenfoldStepHoldsAcrossCallsUntilTheNextChange) {
    ExpressionRig rig;
    rig.fill(ExpressionPin::A, 0.1f);
    for (float y : rig.processY(0, 64)) ASSERT_EQ(y, 0.1f);
    rig.fill(ExpressionPin::A, 1.0f);
    for (int32_t call = 0; call < 3; ++call) {
        for (float y : rig.processY(0, 64)) ASSERT_EQ(y, 0.1f) << call;
    }
    rig.fill(ExpressionPin::A, 0.5f);
    for (float y : rig.processY(0, 64)) ASSERT_EQ(y, 0.5f);
}

// Inputs that are all -99.9 or not a number at the first sample after open match the kept
// inputs: nothing has been evaluated yet, and Y is 0 rather than an unset value.
struct FirstSampleCase {
    const char* name;
    float input;
    friend void PrintTo(const FirstSampleCase& c, std::ostream* out) { *out << c.name; }
};

const FirstSampleCase kFirstSampleCases[] = {
    {"NotANumber", kNaN},
    {"TheForgottenMarker", -99.9f},
};

class FirstSampleTest : public testing::TestWithParam<FirstSampleCase> {};

TEST_P(FirstSampleTest, MatchingInputsAfterOpenGiveZeroUntilTheyChange) {
    ExpressionRig rig;
    rig.setFunction("a + 5");
    const float input = GetParam().input;
    rig.setInputs(input, input, input, input);
    for (float y : rig.processY(0, 16)) ASSERT_EQ(y, 0.0f);
    rig.setInputs(0.25f, 0.0f, 0.0f, 0.0f);
    for (float y : rig.processY(0, 16)) ASSERT_EQ(y, 0.75f);  // 2.5 V + 5 V
}

INSTANTIATE_TEST_SUITE_P(Inputs, FirstSampleTest, testing::ValuesIn(kFirstSampleCases), CaseName());

// A new Function text is taken up at the next evaluation: at once while an input is away from
// 0, only at the next input change or open while all four rest at 0.
TEST(InputChanges, NewTextWaitsWhileTheInputsRestAtZero) {
    ExpressionRig rig;
    rig.setFunction("y = 5");
    EXPECT_EQ(rig.processY(0, 16).back(), 0.5f);

    rig.setFunction("y = 7");
    for (float y : rig.processY(0, 16)) ASSERT_EQ(y, 0.5f);

    rig.instance().dispatch(host_protocol::DispatcherOpcode::Open);
    for (float y : rig.processY(0, 16)) ASSERT_EQ(y, 0.7f);

    rig.setFunction("y = 3");
    rig.setSamples(ExpressionPin::A, {0.0f, 0.0f, 0.125f});
    EXPECT_EQ(rig.processY(0, 4), (std::vector<float>{0.7f, 0.7f, 0.3f, 0.3f}));
}

TEST(InputChanges, NewTextTakesEffectAtOnceWhileAnInputIsAwayFromZero) {
    ExpressionRig rig;
    rig.fill(ExpressionPin::C, 0.05f);
    rig.setFunction("y = 5");
    for (float y : rig.processY(0, 16)) ASSERT_EQ(y, 0.5f);
    rig.setFunction("y = 7");
    for (float y : rig.processY(0, 16)) ASSERT_EQ(y, 0.7f);
}

}  // namespace
}  // namespace expression_test
