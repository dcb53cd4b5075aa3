#include "expression_plugin/evaluator/token_scanner.h"

#include <cstring>

#include "expression_plugin/evaluator/variable_table.h"

namespace expression {

namespace {

constexpr int32_t maximumTokenText = tokenTextSize - 1;

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

void TokenScanner::start(const char* text) {
    if (text == nullptr) {
        text = "";
    }
    int32_t length = 0;
    for (; length < workingTextSize - 1 && text[length] != '\0'; ++length) {
        text_[length] = toLower(text[length]);
    }
    text_[length] = '\0';
    position_ = 0;
    type_ = TokenType::End;
    tokenText_[0] = '\0';
}

void TokenScanner::setTokenText(const char* text) {
    std::strncpy(tokenText_, text, maximumTokenText);
    tokenText_[maximumTokenText] = '\0';
}

void TokenScanner::skipBlanks() {
    while (isBlank(text_[position_])) {
        ++position_;
    }
}

// Consumes the whole run of characters that `belongs` accepts; the token text keeps its first
// `keptLength` characters.
void TokenScanner::takeRun(bool (*belongs)(char), int32_t keptLength) {
    runStart_ = position_;
    while (belongs(text_[position_])) {
        ++position_;
    }
    runEnd_ = position_;
    const int32_t runLength = runEnd_ - runStart_;
    const int32_t kept = runLength < keptLength ? runLength : keptLength;
    std::memcpy(tokenText_, text_ + runStart_, static_cast<size_t>(kept));
    tokenText_[kept] = '\0';
}

bool TokenScanner::next() {
    type_ = TokenType::End;
    tokenText_[0] = '\0';
    skipBlanks();
    const char c = text_[position_];
    if (c == '\0') {
        // The position stays on the terminator, so every further call yields End too.
        return true;
    }
    if (isDelimiter(c)) {
        type_ = TokenType::Delimiter;
        tokenText_[0] = c;
        tokenText_[1] = '\0';
        ++position_;
    } else if (isNumberCharacter(c)) {
        type_ = TokenType::Number;
        takeRun(isNumberCharacter, maximumTokenText);
    } else if (isLowerLetter(c)) {
        type_ = TokenType::Name;
        takeRun(isNameCharacter, variableNameLength);
    } else {
        // Stepping over c first makes the error's position that of c itself.
        tokenText_[0] = c;
        tokenText_[1] = '\0';
        ++position_;
        return false;
    }
    skipBlanks();
    return true;
}

}  // namespace expression
