// The compiled program against the interpreting evaluator: named texts that exercise each way an
// evaluation can go, then a few hundred thousand generated ones, every one compared bit for bit.
#include "expression_plugin/evaluator/compiled_expression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "differential_check.h"
#include "expression_generator.h"

namespace expression_testing {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double tiny = std::numeric_limits<double>::denorm_min();

// Enough to take every divisor check both ways and to reach signed zeros, infinities and
// not-a-numbers in every operand position.
const std::vector<InputSet> edgeSteps = {
    {{1, 2, 3, 4}},         {{0, 0, 0, 0}},        {{-0.0, 0, -0.0, 0}},  {{nan, 1, -nan, 0}},
    {{inf, -inf, 0, 1}},    {{tiny, -tiny, 2, 0}}, {{0.5, 0, -1, 1e308}}, {{-3, 4, 0, nan}},
    {{2.5, -2.5, -0.0, 7}}, {{1, 0, 1, 0}},        {{0, 1, 0, 1}},        {{-1, -2, -3, -4}},
};

const char* const namedTexts[] = {
    // The benchmark texts and the default
    "y = a + b + c + d",
    "a + b + c + d",
    "sin(a * pi) * b",
    "hypot(a, b) / (abs(c) + 1) + floor(d * 3) % 2",
    "sqrt(abs(a*b)) + exp(-c*c) - log10(abs(d)+1)",
    // Precedence, grouping, signs and the single "^"
    "1 + 2 * 3",
    "(1 + 2) * 3",
    "10 - 2 - 3",
    "2 / 4 / 2",
    "-2^2",
    "2^-2",
    "2^3^2",
    "(2^3^2)",
    "2 - -1",
    "--1",
    "+-1",
    "-a^b",
    "a^-b",
    "-(a + b)",
    "+a",
    "a b",
    "2 3 #",
    "1 + 2 #",
    // Two not-a-numbers of opposite signs meeting in each operation (a and c in one step)
    "a + c",
    "c + a",
    "a * c",
    "c * a",
    "a - c",
    "c / a",
    "(a + c) * (c * a) - (c + a)",
    // Run-time division by zero, and the running value it leaves
    "a / b",
    "a % b",
    "a + b / c",
    "(a + b / c)",
    "-(a + b / c)",
    "2 * (3 + 1 / a)",
    "sin(a / b)",
    "a / 0",
    "a % 0",
    "1 / (0 * -1)",
    "1 / sqrt(-1)",
    "a / b / c / d",
    "a / (b - b)",
    "a + b / c + q",
    "a / b + (x = 1) / c",
    "hypot(1 / a, 2 / b)",
    "sin(1 / a, 2)",
    "a / b ^ c",
    // Assignments, removals and hidden constants
    "x = 3",
    "x =",
    "(x = 3) * x",
    "hypot(x = 3, x + 1)",
    "x = y = 1",
    "(pi = 3) + pi",
    "(pi = a) / pi",
    "(a = 2) + a",
    "a = a * 2",
    "(a =) + 1",
    "sin(a =)",
    "(x = a / b) + x",
    "(e = b) + (e =",
    "y = a + q",
    "y = q",
    "y =",
    "(x = 1) + (x =) + x",
    "(abcdefghijklmnopq = 2) * abcdefghijklmnoz",
    "B = b + 1",
    "Y = A * 2",
    // Functions: right and wrong counts, missing arguments, unknown names
    "sin()",
    "hypot(3,)",
    "hypot(,3)",
    "hypot(3)",
    "sin(1,2,3,4,5)",
    "foo(1)",
    "foo",
    "sin",
    "sin(0",
    "sin (0)",
    "SIN(PI/2)",
    "hypot(a, b",
    "sgn(a) + sgn(-0) + sgn(b)",
    "deg(a) + rad(b)",
    "log(a) + log10(b) + exp(c) + sqrt(d)",
    "floor(a) + ceil(b) + abs(c)",
    "asin(a) + acos(b) + atan(c) + sinh(d) + cosh(a) + tanh(b) + tan(c) + cos(d)",
    // Scanner: numbers, names, blanks, invalid characters, empty texts
    "1e5",
    "1.2.3",
    ".",
    "..",
    "5. + .5",
    "#",
    "_x",
    "a\n",
    "\x80",
    "",
    "   ",
    "\t \t",
    "123456789012345678901234567890123456789 + a",
    "a+b*c-d/a%b^c",
    "( a )",
    "(a",
    "a)",
    "()",
};

TEST(CompiledExpression, NamedTextsGiveWhatTheEvaluatorGives) {
    DifferentialCheck check;
    for (const char* text : namedTexts) {
        const CheckResult result = check.check(text, edgeSteps);
        EXPECT_EQ(result.verdict, Verdict::Same) << text << ": " << result.difference;
    }
}

// 46 names besides a to d fit in one evaluation; the 47th ends it with code 5, after its value
// was computed. Removals in between make room again.
TEST(CompiledExpression, FilledVariableTablesGiveWhatTheEvaluatorGives) {
    DifferentialCheck check;
    for (const int32_t names : {45, 46, 47, 48}) {
        for (const bool removal : {false, true}) {
            std::string text;
            for (int32_t n = 0; n < names; ++n) {
                text += '(';
                text += static_cast<char>('e' + n / 20);
                text += static_cast<char>('a' + n % 20);
                text += '=';
            }
            text += removal ? "(ea =) + a / b" : "a / b";
            text.append(static_cast<size_t>(names), ')');
            const CheckResult result = check.check(text, edgeSteps);
            EXPECT_EQ(result.verdict, Verdict::Same) << result.difference;
        }
    }
}

TEST(CompiledExpression, GeneratedTextsGiveWhatTheEvaluatorGives) {
    constexpr int32_t textCount = 200000;
    ExpressionGenerator generator(0x5eed'0f'd1ffULL);
    DifferentialCheck check;
    std::vector<InputSet> steps(6);
    int32_t notFitting = 0;
    int32_t differing = 0;
    for (int32_t n = 0; n < textCount && differing < 5; ++n) {
        const std::string text = generator.text();
        for (InputSet& step : steps) {
            step = generator.inputs();
        }
        const CheckResult result = check.check(text, steps);
        if (result.verdict == Verdict::DoesNotFit) {
            ++notFitting;
        } else if (result.verdict == Verdict::Differs) {
            ++differing;
            ADD_FAILURE() << result.difference;
        }
    }
    // Only pathological texts leave the fast path; the generator makes few of those.
    EXPECT_LT(notFitting, textCount / 100);
}

// A text with more distinct constants than the register file keeps is not compiled: the caller
// evaluates it with the interpreting evaluator.
TEST(CompiledExpression, TextsWhoseProgramDoesNotFitAreRefused) {
    std::string manyConstants = "a";
    for (int32_t n = 1; n <= 60; ++n) manyConstants += "+" + std::to_string(n);
    const auto compiled = std::make_unique<expression::CompiledExpression>();
    EXPECT_FALSE(compiled->prepare(manyConstants.c_str()));
    EXPECT_TRUE(compiled->prepare("a + b"));
    EXPECT_FALSE(compiled->prepare(manyConstants.c_str()));
}

// The host may write a new text into the same buffer: the contents decide, not the address.
TEST(CompiledExpression, ANewTextInTheSameBufferIsCompiledAnew) {
    const auto compiled = std::make_unique<expression::CompiledExpression>();
    char buffer[32] = "a * 2";
    const double inputs[4] = {3, 5, 7, 11};
    double result = 0;
    ASSERT_TRUE(compiled->prepare(buffer));
    compiled->evaluate(inputs, result);
    EXPECT_EQ(result, 6);
    std::strcpy(buffer, "b * 2");
    ASSERT_TRUE(compiled->prepare(buffer));
    compiled->evaluate(inputs, result);
    EXPECT_EQ(result, 10);
}

// Until the new text makes a step, the table is the one the former text's last step left.
TEST(CompiledExpression, TheTableOfTheFormerTextStaysUntilTheNewTextMakesAStep) {
    const auto compiled = std::make_unique<expression::CompiledExpression>();
    const double inputs[4] = {1, 2, 3, 4};
    double result = 0;
    expression::VariableTable table;
    compiled->reproduceVariables(table);
    EXPECT_EQ(table.slots()[0].name[0], '\0');

    ASSERT_TRUE(compiled->prepare("x = a + 1"));
    compiled->evaluate(inputs, result);
    ASSERT_TRUE(compiled->prepare("b"));
    ASSERT_TRUE(compiled->prepare("c"));
    compiled->reproduceVariables(table);
    double x = 0;
    ASSERT_TRUE(table.lookupName("x", x));
    EXPECT_EQ(x, 2);

    compiled->evaluate(inputs, result);
    compiled->reproduceVariables(table);
    EXPECT_FALSE(table.lookupName("x", x));
}

}  // namespace
}  // namespace expression_testing
