#include "expression_plugin/evaluator/expression_evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace expression {
namespace {

constexpr double pi = 3.141592653589793;
constexpr double e = 2.718281828459045;

// As the expression module prepares it: a to d in slots 0 to 3.
class Evaluator : public ::testing::Test {
  protected:
    void SetUp() override { prepare(); }

    void prepare() {
        VariableTable& table = evaluator.variables();
        table.clearAllVariables();
        table.setVariable("a", 1);
        table.setVariable("b", 2);
        table.setVariable("c", 3);
        table.setVariable("d", 4);
    }

    bool has(const char* name, double& value) const {
        return evaluator.variables().lookupName(name, value);
    }

    ExpressionEvaluator evaluator;
    double result = -123.0;
};

struct ValueCase {
    const char* text;
    double value;
};

const ValueCase valueCases[] = {
    // Precedence and grouping
    {"1 + 2 * 3", 7},
    {"(1 + 2) * 3", 9},
    {"10 - 2 - 3", 5},
    {"2 / 4 / 2", 0.25},
    {"2*3^2", 18},
    {"2^3*2", 16},
    {"a + b * c - d", 3},
    // Signs bind tighter than "^"; one "^" only, the rest is not examined
    {"-2^2", 4},
    {"2^-2", 0.25},
    {"2^3^2", 8},
    {"2 - -1", 3},
    {"+3", 3},
    {"-a", -1},
    // Remainder truncated toward zero with the sign of the dividend
    {"-7 % 3", -1},
    {"5 % -3", 2},
    {"7.5 % 2", 1.5},
    // Assignments yield the value assigned; the right side is one additive expression
    {"y = a + b + c + d", 10},
    {"Y = A * 2", 2},
    {"x =3", 3},
    {"b = b + 1", 3},
    {"(x = 3) * x", 9},
    {"hypot(x = 3, x + 1)", 5},
    {"x = b = 1", 2},
    // Variables hide constants and functions' names; a call still calls the function
    {"(pi = 3) + pi", 6},
    {"(sin = 2) + sin(0) + sin", 4},
    {"e", e},
    // Calls
    {"sin(0", 0},
    {"sin (0)", 0},
    {"SIN(PI/2)", 1},
    {"hypot(3, 4 5", 5},
    {"floor(-2.5) + ceil(2.5)", 0},
    {"abs(-2.5)", 2.5},
    {"deg(pi)", 180},
    {"rad(180)", pi},
    {"sin(rad(90))", 1},
    {"sgn(-0)", 1},
    {"sgn(0 - 2)", -1},
    // Numbers: digits[.digits], no sign, no exponent
    {"1e5", 1},
    {"1.2.3", 1.2},
    {".", 0},
    {"..", 0},
    {"5.", 5},
    {".5", 0.5},
    {"007", 7},
    {"1234567890123456789012345678901234567890", 1234567890123456789012345678901234567890.0},
    // Text after a complete expression is not examined
    {"2 3", 2},
    {"2 3 #", 2},
    {"a b", 1},
    {"\t 1 \t", 1},
    // Names are cut to 15 characters
    {"(abcdefghijklmnopq = 2) * abcdefghijklmnoz", 4},
};

TEST_F(Evaluator, ComputesTheValueOfValidTexts) {
    for (const ValueCase& c : valueCases) {
        prepare();
        result = -123.0;
        EXPECT_TRUE(evaluator.evaluateExpression(c.text, result)) << c.text;
        EXPECT_EQ(result, c.value) << c.text;
    }
}

TEST_F(Evaluator, OutOfDomainResultsAreNoError) {
    EXPECT_TRUE(evaluator.evaluateExpression("sqrt(-1)", result));
    EXPECT_TRUE(std::isnan(result));
    EXPECT_TRUE(evaluator.evaluateExpression("sgn(sqrt(-1))", result));
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(evaluator.evaluateExpression("(0-2)^0.5", result));
    EXPECT_TRUE(std::isnan(result));
}

struct ErrorCase {
    const char* text;
    EvalErrorCode code;
    int32_t position;
    const char* tokenText;
    double runningValue;
};

const ErrorCase errorCases[] = {
    {"", EvalErrorCode::EmptyExpression, -1, "", 0},
    {" \t ", EvalErrorCode::EmptyExpression, 2, "", 0},
    // Invalid characters are reported at their own offset
    {"#", EvalErrorCode::SyntaxError, 0, "#", 0},
    {"_x", EvalErrorCode::SyntaxError, 0, "_", 0},
    {"\xC8", EvalErrorCode::SyntaxError, 0, "\xC8", 0},
    {"1 + 2 #", EvalErrorCode::SyntaxError, 6, "#", 1},
    {"1\n", EvalErrorCode::SyntaxError, 1, "\n", 1},
    // A missing operand
    {"--1", EvalErrorCode::SyntaxError, 1, "-", 0},
    {"+-1", EvalErrorCode::SyntaxError, 1, "-", 0},
    {"1 +", EvalErrorCode::SyntaxError, 2, "", 1},
    {"2 * )", EvalErrorCode::SyntaxError, 4, ")", 2},
    {"(x =)", EvalErrorCode::SyntaxError, 4, ")", 0},
    // Parentheses
    {"(2^3^2)", EvalErrorCode::UnbalancedParenthesis, 4, "^", 8},
    {"(1", EvalErrorCode::UnbalancedParenthesis, 1, "", 1},
    {"(x =", EvalErrorCode::UnbalancedParenthesis, 3, "", 0},
    {"(1 1234567890123456789012345678901234567890)", EvalErrorCode::UnbalancedParenthesis, 42,
     "1234567890123456789012345678901", 1},
    // Divisors that are neither below nor above zero
    {"1 / 0", EvalErrorCode::DivisionByZero, 4, "", 1},
    {"1 % 0", EvalErrorCode::DivisionByZero, 4, "", 1},
    {"1 / -0", EvalErrorCode::DivisionByZero, 5, "", 1},
    {"1 / (0 * -1)", EvalErrorCode::DivisionByZero, 11, "", 1},
    {"1 / sqrt(-1)", EvalErrorCode::DivisionByZero, 11, "", 1},
    {"1 % sqrt(-1)", EvalErrorCode::DivisionByZero, 11, "", 1},
    // The running value is what the chain of first operands had reached
    {"a + b / 0", EvalErrorCode::DivisionByZero, 8, "", 1},
    {"-(a + b / 0)", EvalErrorCode::DivisionByZero, 11, ")", 1},
    {"2 * (3 + 1 / 0)", EvalErrorCode::DivisionByZero, 14, ")", 2},
    {"sin(a / 0)", EvalErrorCode::DivisionByZero, 9, ")", 0},
    {"y = a / 0", EvalErrorCode::DivisionByZero, 8, "", 1},
    // Names
    {"foo", EvalErrorCode::UnknownVariable, 2, "foo", 0},
    {"sin", EvalErrorCode::UnknownVariable, 2, "sin", 0},
    {"y = a + q", EvalErrorCode::UnknownVariable, 8, "q", 1},
    {"x = y = 1", EvalErrorCode::UnknownVariable, 5, "y", 0},
    {"abcdefghijklmnopqrst", EvalErrorCode::UnknownVariable, 19, "abcdefghijklmno", 0},
    {"foo(1)", EvalErrorCode::UnrecognisedFunction, 2, "foo", 0},
    // Argument lists
    {"hypot(3)", EvalErrorCode::WrongNumberOfArguments, 7, "hypot", 0},
    {"sin(1,2,3,4,5)", EvalErrorCode::WrongNumberOfArguments, 12, "sin", 0},
    {"sin()", EvalErrorCode::MissingArgument, 4, ")", 0},
    {"hypot(3,)", EvalErrorCode::MissingArgument, 8, ")", 0},
    {"hypot(,3)", EvalErrorCode::MissingArgument, 6, ",", 0},
    {"()", EvalErrorCode::MissingArgument, 1, ")", 0},
};

TEST_F(Evaluator, ErrorsRecordCodePositionTokenAndLeaveTheRunningValue) {
    for (const ErrorCase& c : errorCases) {
        prepare();
        result = -123.0;
        EXPECT_FALSE(evaluator.evaluateExpression(c.text, result)) << c.text;
        const ErrorRecord& record = evaluator.errorRecord();
        EXPECT_EQ(record.code, c.code) << c.text;
        EXPECT_EQ(record.position, c.position) << c.text;
        EXPECT_STREQ(record.tokenText, c.tokenText) << c.text;
        EXPECT_EQ(result, c.runningValue) << c.text;
    }
}

TEST_F(Evaluator, AssignmentWithNothingAfterTheEqualsSignRemovesTheVariable) {
    double value = 0;
    evaluator.variables().setVariable("x", 7);
    EXPECT_TRUE(evaluator.evaluateExpression("x =", result));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(has("x", value));

    // As an argument the removed variable's argument is 0.
    evaluator.variables().setVariable("x", 7);
    EXPECT_TRUE(evaluator.evaluateExpression("cos(x =", result));
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(has("x", value));
}

TEST_F(Evaluator, AssignmentsBeforeAnErrorStayMade) {
    double value = 0;
    EXPECT_FALSE(evaluator.evaluateExpression("(x = 2) + (y = 1 / 0)", result));
    EXPECT_EQ(evaluator.errorRecord().code, EvalErrorCode::DivisionByZero);
    EXPECT_EQ(result, 2);
    ASSERT_TRUE(has("x", value));
    EXPECT_EQ(value, 2);
    EXPECT_FALSE(has("y", value));

    evaluator.variables().setVariable("z", 5);
    EXPECT_FALSE(evaluator.evaluateExpression("hypot(z =, q)", result));
    EXPECT_FALSE(evaluator.evaluateExpression("hypot(z =", result));
    EXPECT_EQ(evaluator.errorRecord().code, EvalErrorCode::WrongNumberOfArguments);
    EXPECT_FALSE(has("z", value));
}

TEST_F(Evaluator, AssignmentToAFullTableFailsAfterComputingItsValue) {
    // a to d plus 45 more leave one free slot: "p" takes it and "q" finds none.
    for (int i = 0; i < variableSlotCount - 5; ++i) {
        evaluator.variables().setVariable(("v" + std::to_string(i)).c_str(), i);
    }
    EXPECT_FALSE(evaluator.evaluateExpression("(p = 1) + (q = 2)", result));
    const ErrorRecord& record = evaluator.errorRecord();
    EXPECT_EQ(record.code, EvalErrorCode::MaximumVariablesExceeded);
    EXPECT_EQ(record.position, 16);
    EXPECT_STREQ(record.tokenText, ")");
    EXPECT_EQ(result, 1);

    double value = 0;
    EXPECT_TRUE(has("p", value));
    EXPECT_FALSE(has("q", value));

    // Replacing an existing name still works in the full table.
    EXPECT_TRUE(evaluator.evaluateExpression("v7 = 70", result));
    ASSERT_TRUE(has("v7", value));
    EXPECT_EQ(value, 70);
}

TEST_F(Evaluator, TextIsCutToItsFirst299Characters) {
    std::string sum = "1";
    for (int i = 1; i < 150; ++i) {
        sum += "+1";
    }
    ASSERT_EQ(sum.size(), 299u);
    EXPECT_TRUE(evaluator.evaluateExpression((sum + "+1").c_str(), result));
    EXPECT_EQ(result, 150);

    const std::string blanks(298, ' ');
    EXPECT_TRUE(evaluator.evaluateExpression((blanks + "12").c_str(), result));
    EXPECT_EQ(result, 1);

    EXPECT_FALSE(evaluator.evaluateExpression((std::string(299, ' ') + "1").c_str(), result));
    EXPECT_EQ(evaluator.errorRecord().code, EvalErrorCode::EmptyExpression);
    EXPECT_EQ(evaluator.errorRecord().position, 298);
}

TEST_F(Evaluator, NullTextIsTheEmptyText) {
    EXPECT_FALSE(evaluator.evaluateExpression(nullptr, result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(evaluator.errorRecord().code, EvalErrorCode::EmptyExpression);
    EXPECT_EQ(evaluator.errorRecord().position, -1);
}

TEST_F(Evaluator, TheCallersTextKeepsItsCapitals) {
    const char text[] = "Y = A * 2";
    EXPECT_TRUE(evaluator.evaluateExpression(text, result));
    EXPECT_STREQ(text, "Y = A * 2");
    double value = 0;
    ASSERT_TRUE(has("y", value));
    EXPECT_EQ(value, 2);
}

TEST_F(Evaluator, SuccessLeavesTheLastErrorInPlace) {
    EXPECT_EQ(evaluator.errorRecord().code, EvalErrorCode::None);
    EXPECT_FALSE(evaluator.evaluateExpression("1 / 0", result));
    EXPECT_TRUE(evaluator.evaluateExpression("1 + 1", result));
    EXPECT_EQ(evaluator.errorRecord().code, EvalErrorCode::DivisionByZero);
    EXPECT_EQ(evaluator.errorRecord().position, 4);
}

TEST(EvaluatorInstances, EachEvaluatorHasItsOwnVariablesAndErrorRecord) {
    ExpressionEvaluator first;
    ExpressionEvaluator second;
    double result = 0;
    first.variables().setVariable("a", 1);
    second.variables().setVariable("a", 5);
    EXPECT_FALSE(first.evaluateExpression("x = a + q", result));
    EXPECT_TRUE(second.evaluateExpression("x = a * 2", result));
    EXPECT_EQ(result, 10);

    double value = 0;
    EXPECT_FALSE(first.variables().lookupName("x", value));
    ASSERT_TRUE(second.variables().lookupName("x", value));
    EXPECT_EQ(value, 10);
    EXPECT_EQ(first.errorRecord().code, EvalErrorCode::UnknownVariable);
    EXPECT_EQ(second.errorRecord().code, EvalErrorCode::None);
}

TEST(ErrorMessages, NineMessagesInCodeOrder) {
    EXPECT_STREQ(errorMessage(EvalErrorCode::SyntaxError), "Syntax error");
    EXPECT_STREQ(errorMessage(EvalErrorCode::UnbalancedParenthesis), "Unbalanced parenthesis");
    EXPECT_STREQ(errorMessage(EvalErrorCode::DivisionByZero), "Division by zero");
    EXPECT_STREQ(errorMessage(EvalErrorCode::UnknownVariable), "Unknown variable");
    EXPECT_STREQ(errorMessage(EvalErrorCode::MaximumVariablesExceeded),
                 "Maximum variables exceeded");
    EXPECT_STREQ(errorMessage(EvalErrorCode::UnrecognisedFunction), "Unrecognised funtion");
    EXPECT_STREQ(errorMessage(EvalErrorCode::WrongNumberOfArguments),
                 "Wrong number of arguments to function");
    EXPECT_STREQ(errorMessage(EvalErrorCode::MissingArgument), "Missing an argument");
    EXPECT_STREQ(errorMessage(EvalErrorCode::EmptyExpression), "Empty expression");
    EXPECT_STREQ(errorMessage(EvalErrorCode::None), "");
    EXPECT_STREQ(errorMessage(static_cast<EvalErrorCode>(10)), "");
    EXPECT_STREQ(errorMessage(static_cast<EvalErrorCode>(-1)), "");
}

}  // namespace
}  // namespace expression
