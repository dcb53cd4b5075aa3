// Evaluates the text of an expression to one double by recursive descent, computing while it
// parses. Each module instance owns one evaluator, with its own variable table and error record,
// so instances cannot disturb each other. An evaluator is used by one thread at a time.
#pragma once

#include <csetjmp>
#include <cstdint>

#include "expression_plugin/evaluator/eval_error.h"
#include "expression_plugin/evaluator/token_scanner.h"
#include "expression_plugin/evaluator/variable_table.h"

namespace expression {

class ExpressionEvaluator {
  public:
    ExpressionEvaluator() = default;
    ExpressionEvaluator(const ExpressionEvaluator&) = delete;
    ExpressionEvaluator& operator=(const ExpressionEvaluator&) = delete;

    // Called by the expression module at each evaluation step, after it has prepared the
    // variable table. `text` is zero-terminated and only read (null counts as the empty text);
    // only its first 299 characters are evaluated, case-insensitively. `result` is set to 0 and
    // then receives the running value as the evaluation goes. True when the evaluation completed;
    // false when an error ended it: errorRecord() then holds the reason and `result` the value
    // the evaluation had reached. Assignments made before an error stay made. Allocates nothing.
    bool evaluateExpression(const char* text, double& result);

    VariableTable& variables() { return variables_; }
    const VariableTable& variables() const { return variables_; }

    // The last error raised by this evaluator; zeroed (code None) until the first one.
    const ErrorRecord& errorRecord() const { return errorRecord_; }

  private:
    bool runFromResumePoint(double& result);
    [[noreturn]] void leaveForResumePoint();
    [[noreturn]] void raiseError(EvalErrorCode code);

    // The next token; a character that begins none raises a syntax error.
    void getToken();

    void evaluateText(double& result);
    void evalAssignment(double& location);
    void evalAdditive(double& location);
    void evalTerm(double& location);
    void evalPower(double& location);
    void evalUnary(double& location);
    void evalPrimary(double& location);
    void evalFunctionCall(double& location);

    TokenScanner scanner_;
    ErrorRecord errorRecord_{};
    std::jmp_buf resumePoint_{};
    VariableTable variables_;
};

}  // namespace expression
