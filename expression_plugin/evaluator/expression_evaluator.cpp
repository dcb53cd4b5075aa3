#include "expression_plugin/evaluator/expression_evaluator.h"

#include <cstring>

#include "expression_plugin/evaluator/function_table.h"
#include "expression_plugin/evaluator/operations.h"

namespace expression {

namespace {

constexpr int32_t maximumArguments = 4;  // collected per call; no function takes more than two

}  // namespace

// --- Entry and the non-local exit ------------------------------------------------------------

bool ExpressionEvaluator::evaluateExpression(const char* text, double& result) {
    scanner_.start(text);
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
    errorRecord_.position = scanner_.lastConsumed();
    std::memcpy(errorRecord_.tokenText, scanner_.tokenText(), sizeof errorRecord_.tokenText);
    errorRecord_.code = code;
    leaveForResumePoint();
}

// --- Scanner ---------------------------------------------------------------------------------

void ExpressionEvaluator::getToken() {
    if (!scanner_.next()) {
        raiseError(EvalErrorCode::SyntaxError);
    }
}

// --- Grammar levels --------------------------------------------------------------------------
// Each level is entered with its first token current and leaves with the token after what it
// parsed current. Its first operand goes straight into `location`, later operands into a local,
// and `location` is updated as each operation completes: after an error it holds the value the
// chain of first operands had reached.

// text := assignment, with at least one token; what follows the expression is not examined.
void ExpressionEvaluator::evaluateText(double& result) {
    getToken();
    if (scanner_.type() == TokenType::End) {
        raiseError(EvalErrorCode::EmptyExpression);
    }
    evalAssignment(result);
}

// assignment := name "=" [ additive ] | additive
void ExpressionEvaluator::evalAssignment(double& location) {
    if (scanner_.type() != TokenType::Name || scanner_.lookAhead() != '=') {
        evalAdditive(location);
        return;
    }
    char name[variableNameSize];
    std::memcpy(name, scanner_.tokenText(), sizeof name);
    getToken();  // the "="
    getToken();
    if (scanner_.type() == TokenType::End) {
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
        const bool adding = scanner_.atDelimiter('+');
        if (!adding && !scanner_.atDelimiter('-')) {
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
        const char op = scanner_.tokenText()[0];
        if (!scanner_.atDelimiter('*') && !scanner_.atDelimiter('/') &&
            !scanner_.atDelimiter('%')) {
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
    if (!scanner_.atDelimiter('^')) {
        return;
    }
    getToken();
    double exponent = 0.0;
    evalUnary(exponent);
    location = power(location, exponent);
}

// unary := [ "+" | "-" ] primary  (one sign only; it binds tighter than "^")
void ExpressionEvaluator::evalUnary(double& location) {
    const bool negative = scanner_.atDelimiter('-');
    if (negative || scanner_.atDelimiter('+')) {
        getToken();
    }
    evalPrimary(location);
    if (negative) {
        location = negate(location);
    }
}

// primary := "(" assignment ")" | number | name "(" arguments | name
void ExpressionEvaluator::evalPrimary(double& location) {
    if (scanner_.atDelimiter('(')) {
        getToken();
        if (scanner_.atDelimiter(')')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
        evalAssignment(location);
        if (!scanner_.atDelimiter(')')) {
            raiseError(EvalErrorCode::UnbalancedParenthesis);
        }
        getToken();
        return;
    }
    if (scanner_.type() == TokenType::Number) {
        location = numberValue(scanner_.runBegin(), scanner_.runEnd());
        getToken();
        return;
    }
    if (scanner_.type() == TokenType::Name) {
        if (scanner_.lookAhead() == '(') {
            evalFunctionCall(location);
            return;
        }
        double value = 0.0;
        if (!variables_.lookupName(scanner_.tokenText(), value)) {
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
    const FunctionEntry* entry = findFunction(scanner_.tokenText());
    if (entry == nullptr) {
        raiseError(EvalErrorCode::UnrecognisedFunction);
    }
    getToken();  // the "("
    getToken();
    if (scanner_.atDelimiter(')')) {
        raiseError(EvalErrorCode::MissingArgument);
    }
    double arguments[maximumArguments] = {};
    int32_t count = 0;
    for (;;) {
        if (scanner_.atDelimiter(',')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
        evalAssignment(arguments[count]);
        ++count;
        if (count == maximumArguments || !scanner_.atDelimiter(',')) {
            break;
        }
        getToken();
        if (scanner_.atDelimiter(')')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
    }
    getToken();
    if (count != entry->argumentCount) {
        scanner_.setTokenText(entry->name);
        raiseError(EvalErrorCode::WrongNumberOfArguments);
    }
    location = entry->function(arguments);
}

}  // namespace expression
