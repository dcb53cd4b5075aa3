// Why an evaluation ended early: the code, where the scanner stood and the token it held.
#pragma once

#include <cstdint>

namespace expression {

enum class EvalErrorCode : int32_t {
    None = 0,  // no error raised yet
    SyntaxError = 1,
    UnbalancedParenthesis = 2,
    DivisionByZero = 3,
    UnknownVariable = 4,
    MaximumVariablesExceeded = 5,
    UnrecognisedFunction = 6,
    WrongNumberOfArguments = 7,
    MissingArgument = 8,
    EmptyExpression = 9,
};

inline constexpr int32_t tokenTextSize = 32;  // 31 characters and the terminating zero

// Written only when an error is raised; a successful evaluation leaves it as it was.
struct ErrorRecord {
    EvalErrorCode code;
    // Offset from the start of the text of the last character the scanner had consumed
    // (a token and the blanks after it), or -1 when it had consumed none.
    int32_t position;
    // The current token when the error was raised; for a wrong number of arguments the
    // function's name.
    char tokenText[tokenTextSize];
};

// The user-facing message of a code, a static text; the empty text for None and for any value
// outside 1 to 9.
const char* errorMessage(EvalErrorCode code);

}  // namespace expression
