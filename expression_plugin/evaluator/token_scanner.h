// The scanner of the expression language. The interpreting evaluator and the compiler both read
// a text through it, so both see the same tokens at the same positions: the text cut to 299
// characters and lowered, blanks between tokens, runs of number and of name characters, and
// single-character delimiters.
#pragma once

#include <cstdint>

#include "expression_plugin/evaluator/eval_error.h"

namespace expression {

inline constexpr int32_t workingTextSize = 300;  // 299 characters and the terminating zero

enum class TokenType : int32_t { End = 0, Name = 1, Delimiter = 2, Number = 3 };

class TokenScanner {
  public:
    // Keeps a lowered copy of the first 299 characters of `text` (zero-terminated, only read;
    // null counts as the empty text) and stands before its first token.
    void start(const char* text);

    // token := delimiter | number | name | end, each followed by blanks. False when the next
    // character begins no token: that character is then the token text and the scan stands
    // past it, and the caller raises a syntax error. At the end every further call yields End.
    [[nodiscard]] bool next();

    TokenType type() const { return type_; }
    // The token text: a delimiter, or the first 31 characters of a number or the first 15 of a
    // name; empty at the end.
    const char* tokenText() const { return tokenText_; }
    // Replaces the token text (cut to 31 characters), for an error that reports another name.
    void setTokenText(const char* text);
    // The whole run of the current Number token, which may be longer than its token text.
    const char* runBegin() const { return text_ + runStart_; }
    const char* runEnd() const { return text_ + runEnd_; }

    bool atDelimiter(char delimiter) const {
        return type_ == TokenType::Delimiter && tokenText_[0] == delimiter;
    }
    // The character after the current token and its blanks.
    char lookAhead() const { return text_[position_]; }
    // Offset of the last character consumed (a token and the blanks after it), -1 before any.
    int32_t lastConsumed() const { return position_ - 1; }

  private:
    void skipBlanks();
    void takeRun(bool (*belongs)(char), int32_t keptLength);

    char text_[workingTextSize] = {};
    int32_t position_ = 0;  // offset of the next character to read
    TokenType type_ = TokenType::End;
    char tokenText_[tokenTextSize] = {};
    int32_t runStart_ = 0;
    int32_t runEnd_ = 0;
};

}  // namespace expression
