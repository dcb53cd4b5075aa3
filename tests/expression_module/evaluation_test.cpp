// What a user hears from a text and four held inputs: the value of the whole text in volts,
// leaving through Y at a tenth, at every position and in every call.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "tests/expression_module/expression_rig.h"

namespace expression_test {
namespace {

struct EvaluationCase {
    const char* name;
    std::optional<std::string> text;  // unset: the default text the host wrote at open
    float a, b, c, d;
    float expectedY;
    friend void PrintTo(const EvaluationCase& c, std::ostream* out) { *out << c.name; }
};

const EvaluationCase kEvaluationCases[] = {
    {"DefaultsAtRest", std::nullopt, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    // 1 V + 2 V + 3 V + 4 V
    {"DefaultsSumTenVolts", std::nullopt, 0.1f, 0.2f, 0.3f, 0.4f, 1.0f},
    {"APassesAQuarter", "a", 0.25f, 0.0f, 0.0f, 0.0f, 0.25f},
    {"APassesAHalf", "a", 0.5f, 0.0f, 0.0f, 0.0f, 0.5f},
    {"APassesFullScale", "a", 1.0f, 0.0f, 0.0f, 0.0f, 1.0f},
    {"ConstantFiveVolts", "y = 5", 0.0f, 0.0f, 0.0f, 0.0f, 0.5f},
    // The output is the value of the text, whatever name it assigns to, and in any case.
    {"CapitalAssignment", "Y = A * 2", 0.25f, 0.0f, 0.0f, 0.0f, 0.5f},
    {"LowerCaseAssignment", "y = a * 2", 0.25f, 0.0f, 0.0f, 0.0f, 0.5f},
    {"AssignmentToAnotherName", "z = a * 2", 0.25f, 0.0f, 0.0f, 0.0f, 0.5f},
    {"NoAssignment", "a * 2", 0.25f, 0.0f, 0.0f, 0.0f, 0.5f},
    // b is stored afresh before every evaluation: 2 V + 1 V at every position, never more.
    {"AssignmentToAnInputNeverAccumulates", "b = b + 1", 0.0f, 0.2f, 0.0f, 0.0f, 0.3f},
    {"InputsInVoltsThroughAFunction", "sqrt(c * d)", 0.0f, 0.0f, 0.2f, 0.8f, 0.4f},
    // The factor is the single-precision 0.1 (0.9 V would be 0.9f), and the product is narrowed
    // from double (in single precision 1 V / 7 would give 0.01428571529686451).
    {"SinglePrecisionTenth", "y = 9", 0.0f, 0.0f, 0.0f, 0.0f, 0.9000000357627869f},
    {"ProductNarrowedFromDouble", "a / 7", 0.1f, 0.0f, 0.0f, 0.0f, 0.014285714365541935f},
    // Errors leave the value the evaluation had reached before them.
    {"DivisionByZeroGivesTheRunningValue", "y = a / 0", 0.25f, 0.0f, 0.0f, 0.0f, 0.25f},
    {"UnknownOperandGivesTheRunningValue", "y = a + q", 0.25f, 0.0f, 0.0f, 0.0f, 0.25f},
    {"TextAfterACompleteExpressionIsIgnored", "a b", 0.25f, 0.0f, 0.0f, 0.0f, 0.25f},
    {"EmptyTextGivesZero", "", 0.25f, 0.0f, 0.0f, 0.0f, 0.0f},
    {"BlanksGiveZero", "   ", 0.25f, 0.0f, 0.0f, 0.0f, 0.0f},
    {"AssignmentWithoutValueGivesZero", "y =", 0.25f, 0.0f, 0.0f, 0.0f, 0.0f},
    {"UnknownFirstNameGivesZero", "y = q", 0.25f, 0.0f, 0.0f, 0.0f, 0.0f},
    // Only the first 299 characters count: "10" of "100".
    {"TextCutAfter299Characters", std::string(297, ' ') + "100", 0.0f, 0.0f, 0.0f, 0.0f, 1.0f},
};

class EvaluationTest : public testing::TestWithParam<EvaluationCase> {};

TEST_P(EvaluationTest, HeldInputsGiveTheTextsValueAtEveryPositionOfEveryCall) {
    const EvaluationCase& test = GetParam();
    ExpressionRig rig;
    if (test.text) rig.setFunction(*test.text);
    rig.setInputs(test.a, test.b, test.c, test.d);

    for (int32_t call = 0; call < 2; ++call) {
        SCOPED_TRACE(call);
        for (float y : rig.processY(0, 64)) ASSERT_EQ(y, test.expectedY);
    }
    EXPECT_EQ(rig.functionText(), test.text.value_or("y = a + b + c + d"));
}

INSTANTIATE_TEST_SUITE_P(Texts, EvaluationTest, testing::ValuesIn(kEvaluationCases), CaseName());

}  // namespace
}  // namespace expression_test
