// The arithmetic of the expression language's operators and the value of a number token.
// Everything that computes expressions uses these, so that every way of evaluating a text gives
// the same bits. All arithmetic is in double precision.
#pragma once

#include <cmath>

namespace expression {

// With two not-a-numbers, which one a sum or product carries is left open by IEEE arithmetic,
// and compilers swap the operands of + and * as they please, so the same source could give
// different bits from build to build and from scalar to vector code. The left operand wins here
// (quieted), as it does on x86 for operands in source order.
inline double leftNotANumberOr(double a, double value) {
    return a != a ? a + a : value;
}

inline double add(double a, double b) {
    return leftNotANumberOr(a, a + b);
}
inline double subtract(double a, double b) {
    return a - b;
}
inline double multiply(double a, double b) {
    return leftNotANumberOr(a, a * b);
}
inline double divide(double a, double b) {
    return a / b;
}
// Truncated toward zero, carrying the sign of a: -7 % 3 is -1, 5 % -3 is 2.
inline double modulo(double a, double b) {
    return std::fmod(a, b);
}
inline double power(double a, double b) {
    return std::pow(a, b);
}
inline double negate(double a) {
    return -a;
}

// "/" and "%" refuse a divisor that is neither less than nor greater than zero: zero of either
// sign, or not a number.
inline bool isZeroDivisor(double b) {
    return !(b < 0.0 || b > 0.0);
}

// The value of a run of digits and points [first, last): the correctly rounded conversion of its
// longest leading part of the form digits[.digits], independent of the C locale. A run without
// such a part ("." or "..") is 0. Allocates nothing.
double numberValue(const char* first, const char* last);

}  // namespace expression
