// The named constants of the expression language. Read-only; a variable of the same name hides
// a constant while it exists.
#pragma once

#include <cstdint>
#include <iterator>

namespace expression {

// Laid out like a VariableEntry: a 15-character name and a double.
struct ConstantEntry {
    char name[16];
    double value;
};

// Ends with an entry whose name is empty.
inline constexpr ConstantEntry constantTable[] = {
    {"pi", 3.141592653589793},
    {"e", 2.718281828459045},
    {"", 0.0},
};
static_assert(std::size(constantTable) == 3);

}  // namespace expression
