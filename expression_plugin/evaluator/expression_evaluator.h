// Evaluates the text of an expression to one double by recursive descent, computing while it
// parses. Each module instance owns one evaluator, with its own variable table and error record,
// so instances cannot disturb each other. An evaluator is used by one thread at a time.
#pragma once

#include <csetjmp>
#include <cstdint>

#include "expression_plugin/evaluator/eval_error.h"
#include "expression_plugin/evaluator/variable_table.h"

namespace expression {

inline constexpr int32_t workingTextSize = 300;  // 299 characters and the terminating zero

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
    enum class TokenType : int32_t { End = 0, Name = 1, Delimiter = 2, Number = 3 };

    bool runFromResumePoint(double& result);
    [[noreturn]] void leaveForResumePoint();
    [[noreturn]] void raiseError(EvalErrorCode code);

    void getToken();
    void skipBlanks();
    void takeRun(bool (*belongs)(char), int32_t keptLength);
    bool atDelimiter(char delimiter) const;
    char lookAhead() const { return workingText_[scanPosition_]; }

    void evaluateText(double& result);
    void evalAssignment(double& location);
    void evalAdditive(double& location);
    void evalTerm(double& location);
    void evalPower(double& location);
    void evalUnary(double& location);
    void evalPrimary(double& location);
    void evalFunctionCall(double& location);

    char workingText_[workingTextSize] = {};
    int32_t scanPosition_ = 0;  // offset into workingText_ of the next character to read
    TokenType tokenType_ = TokenType::End;
    char tokenText_[tokenTextSize] = {};
    // The whole run of the current Number token, which may be longer than its token text.
    int32_t tokenStart_ = 0;
    int32_t tokenEnd_ = 0;
    ErrorRecord errorRecord_{};
    std::jmp_buf resumePoint_{};
    VariableTable variables_;
};

}  // namespace expression
