// Random expression texts and input values for comparing the two ways of evaluating a text. The
// texts follow the grammar most of the time, so that evaluations get deep, and break it in every
// way the scanner and the grammar levels react to: stray and doubled signs, missing and extra
// parentheses and arguments, "x =" with nothing after it, unknown names and functions, invalid
// characters, capitals, over-long names and numbers, and tables filled past their 50 slots.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace expression_testing {

struct InputSet {
    double values[4];  // a, b, c, d
};

class ExpressionGenerator {
  public:
    explicit ExpressionGenerator(uint64_t seed) : random_(seed) {}

    std::string text();
    // Edge values (zeros of both signs, infinities, not-a-numbers, subnormals, the largest
    // values), small integers that make divisors hit zero, and random doubles and floats.
    InputSet inputs();

  private:
    bool chance(double probability) {
        return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < probability;
    }
    int32_t below(int32_t bound) {
        return std::uniform_int_distribution<int32_t>(0, bound - 1)(random_);
    }
    double inputValue();

    void blanks();
    void assignment(int32_t depth);
    void additive(int32_t depth);
    void term(int32_t depth);
    void power(int32_t depth);
    void unary(int32_t depth);
    void primary(int32_t depth);
    void call(int32_t depth);
    void number();
    void name();
    void filledTable();
    void damage();

    std::mt19937_64 random_;
    std::string out_;
};

}  // namespace expression_testing
