#include "expression_plugin/evaluator/expression_evaluator.h"

#include <cstring>

#include "expression_plugin/evaluator/function_table.h"
#include "expression_plugin/evaluator/operations.h"

namespace expression {

namespace {

constexpr int32_t maximumArguments = 4;  // collected per call; no function takes more than two
constexpr int32_t maximumNumberText = tokenTextSize - 1;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLowerLetter(char c) {
    return c >= 'a' && c <= 'z';
}
bool isNumberCharacter(char c) {
    return isDigit(c) || c == '.';
}
bool isNameCharacter(char c) {
    return isLowerLetter(c) || isDigit(c);
}

bool isDelimiter(char c) {
    switch (c) {
        case '+':
        case '-':
        case '*':
        case '/':
        case '%':
        case '^':
        case '(':
        case ')':
        case ',':
        case '=':
            return true;
        default:
            return false;
    }
}

char toLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

// --- Entry and the non-local exit ------------------------------------------------------------

bool ExpressionEvaluator::evaluateExpression(const char* text, double& result) {
    if (text == nullptr) {
        text = "";
    }
    int32_t length = 0;
    for (; length < workingTextSize - 1 && text[length] != '\0'; ++length) {
        workingText_[length] = toLower(text[length]);
    }
    workingText_[length] = '\0';
    scanPosition_ = 0;
    result = 0.0;
    return runFromResumePoint(result);
}

// The resume point and the exit to it are the only non-local control flow of the evaluator.
// Leaving with longjmp is sound because no frame between here and raiseError owns anything with
// a destructor; an error then costs no more than the evaluation it cuts short.
bool ExpressionEvaluator::runFromResumePoint(double& result) {
    if (setjmp(resumePoint_) != 0) {
        return false;
    }
    evaluateText(result);
    return true;
}

void ExpressionEvaluator::leaveForResumePoint() {
    std::longjmp(resumePoint_, 1);
}

void ExpressionEvaluator::raiseError(EvalErrorCode code) {
    errorRecord_.position = scanPosition_ - 1;
    std::memcpy(errorRecord_.tokenText, tokenText_, sizeof errorRecord_.tokenText);
    errorRecord_.code = code;
    leaveForResumePoint();
}

// --- Scanner ---------------------------------------------------------------------------------

void ExpressionEvaluator::skipBlanks() {
    while (isBlank(workingText_[scanPosition_])) {
        ++scanPosition_;
    }
}

// Consumes the whole run of characters that `belongs` accepts; the token text keeps its first
// `keptLength` characters.
void ExpressionEvaluator::takeRun(bool (*belongs)(char), int32_t keptLength) {
    tokenStart_ = scanPosition_;
    while (belongs(workingText_[scanPosition_])) {
        ++scanPosition_;
    }
    tokenEnd_ = scanPosition_;
    const int32_t runLength = tokenEnd_ - tokenStart_;
    const int32_t kept = runLength < keptLength ? runLength : keptLength;
    std::memcpy(tokenText_, workingText_ + tokenStart_, static_cast<size_t>(kept));
    tokenText_[kept] = '\0';
}

// token := delimiter | number | name | end, each followed by blanks.
void ExpressionEvaluator::getToken() {
    tokenType_ = TokenType::End;
    tokenText_[0] = '\0';
    skipBlanks();
    const char c = workingText_[scanPosition_];
    if (c == '\0') {
        // The scan position stays on the terminator, so every further call yields End too.
        return;
    }
    if (isDelimiter(c)) {
        tokenType_ = TokenType::Delimiter;
        tokenText_[0] = c;
        tokenText_[1] = '\0';
        ++scanPosition_;
    } else if (isNumberCharacter(c)) {
        tokenType_ = TokenType::Number;
        takeRun(isNumberCharacter, maximumNumberText);
    } else if (isLowerLetter(c)) {
        tokenType_ = TokenType::Name;
        takeRun(isNameCharacter, variableNameLength);
    } else {
        // Stepping over c first makes the error's position that of c itself.
        tokenText_[0] = c;
        tokenText_[1] = '\0';
        ++scanPosition_;
        raiseError(EvalErrorCode::SyntaxError);
    }
    skipBlanks();
}

bool ExpressionEvaluator::atDelimiter(char delimiter) const {
    return tokenType_ == TokenType::Delimiter && tokenText_[0] == delimiter;
}

// --- Grammar levels --------------------------------------------------------------------------
// Each level is entered with its first token current and leaves with the token after what it
// parsed current. Its first operand goes straight into `location`, later operands into a local,
// and `location` is updated as each operation completes: after an error it holds the value the
// chain of first operands had reached.

// text := assignment, with at least one token; what follows the expression is not examined.
void ExpressionEvaluator::evaluateText(double& result) {
    getToken();
    if (tokenType_ == TokenType::End) {
        raiseError(EvalErrorCode::EmptyExpression);
    }
    evalAssignment(result);
}

// assignment := name "=" [ additive ] | additive
void ExpressionEvaluator::evalAssignment(double& location) {
    if (tokenType_ != TokenType::Name || lookAhead() != '=') {
        evalAdditive(location);
        return;
    }
    char name[variableNameSize];
    std::memcpy(name, tokenText_, sizeof name);
    getToken();  // the "="
    getToken();
    if (tokenType_ == TokenType::End) {
        // Nothing after the "=": the assignment removes the variable and yields nothing.
        variables_.clearVariable(name);
        return;
    }
    evalAdditive(location);
    if (!variables_.setVariable(name, location)) {
        raiseError(EvalErrorCode::MaximumVariablesExceeded);
    }
}

// additive := term { ( "+" | "-" ) term }
void ExpressionEvaluator::evalAdditive(double& location) {
    evalTerm(location);
    for (;;) {
        const bool adding = atDelimiter('+');
        if (!adding && !atDelimiter('-')) {
            return;
        }
        getToken();
        double operand = 0.0;
        evalTerm(operand);
        location = adding ? add(location, operand) : subtract(location, operand);
    }
}

// term := power { ( "*" | "/" | "%" ) power }
void ExpressionEvaluator::evalTerm(double& location) {
    evalPower(location);
    for (;;) {
        const char op = tokenText_[0];
        if (!atDelimiter('*') && !atDelimiter('/') && !atDelimiter('%')) {
            return;
        }
        getToken();
        double operand = 0.0;
        evalPower(operand);
        if (op == '*') {
            location = multiply(location, operand);
            continue;
        }
        if (isZeroDivisor(operand)) {
            raiseError(EvalErrorCode::DivisionByZero);
        }
        location = op == '/' ? divide(location, operand) : modulo(location, operand);
    }
}

// power := unary [ "^" unary ]  (one "^" only; a second one ends the enclosing levels)
void ExpressionEvaluator::evalPower(double& location) {
    evalUnary(location);
    if (!atDelimiter('^')) {
        return;
    }
    getToken();
    double exponent = 0.0;
    evalUnary(exponent);
    location = power(location, exponent);
}

// unary := [ "+" | "-" ] primary  (one sign only; it binds tighter than "^")
void ExpressionEvaluator::evalUnary(double& location) {
    const bool negative = atDelimiter('-');
    if (negative || atDelimiter('+')) {
        getToken();
    }
    evalPrimary(location);
    if (negative) {
        location = negate(location);
    }
}

// primary := "(" assignment ")" | number | name "(" arguments | name
void ExpressionEvaluator::evalPrimary(double& location) {
    if (atDelimiter('(')) {
        getToken();
        if (atDelimiter(')')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
        evalAssignment(location);
        if (!atDelimiter(')')) {
            raiseError(EvalErrorCode::UnbalancedParenthesis);
        }
        getToken();
        return;
    }
    if (tokenType_ == TokenType::Number) {
        location = numberValue(workingText_ + tokenStart_, workingText_ + tokenEnd_);
        getToken();
        return;
    }
    if (tokenType_ == TokenType::Name) {
        if (lookAhead() == '(') {
            evalFunctionCall(location);
            return;
        }
        double value = 0.0;
        if (!variables_.lookupName(tokenText_, value)) {
            raiseError(EvalErrorCode::UnknownVariable);
        }
        location = value;
        getToken();
        return;
    }
    raiseError(EvalErrorCode::SyntaxError);
}

// call := name "(" assignment { "," assignment } ")"  (at most four arguments collected; the
// token that ends the list is taken as the ")" without being examined)
void ExpressionEvaluator::evalFunctionCall(double& location) {
    const FunctionEntry* entry = findFunction(tokenText_);
    if (entry == nullptr) {
        raiseError(EvalErrorCode::UnrecognisedFunction);
    }
    getToken();  // the "("
    getToken();
    if (atDelimiter(')')) {
        raiseError(EvalErrorCode::MissingArgument);
    }
    double arguments[maximumArguments] = {};
    int32_t count = 0;
    for (;;) {
        if (atDelimiter(',')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
        evalAssignment(arguments[count]);
        ++count;
        if (count == maximumArguments || !atDelimiter(',')) {
            break;
        }
        getToken();
        if (atDelimiter(')')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
    }
    getToken();
    if (count != entry->argumentCount) {
        std::strncpy(tokenText_, entry->name, maximumNumberText);
        raiseError(EvalErrorCode::WrongNumberOfArguments);
    }
    location = entry->function(arguments);
}

}  // namespace expression
