#include "expression_plugin/evaluator/eval_error.h"

#include <iterator>

namespace expression {

namespace {

// In code order: the message of code N is entry N - 1. The texts are shown to users as they
// stand, spelling included.
constexpr const char* messages[] = {
    "Syntax error",
    "Unbalanced parenthesis",
    "Division by zero",
    "Unknown variable",
    "Maximum variables exceeded",
    "Unrecognised funtion",
    "Wrong number of arguments to function",
    "Missing an argument",
    "Empty expression",
};
static_assert(std::size(messages) == static_cast<int32_t>(EvalErrorCode::EmptyExpression));

}  // namespace

const char* errorMessage(EvalErrorCode code) {
    const auto index = static_cast<int32_t>(code) - 1;
    if (index < 0 || index >= static_cast<int32_t>(std::size(messages))) {
        return "";
    }
    return messages[index];
}

}  // namespace expression
