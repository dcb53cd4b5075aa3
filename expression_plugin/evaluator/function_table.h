// The built-in functions of the expression language, in the order the user documentation lists
// them. Read-only and shared by every evaluator; anything that computes expressions calls these
// entries so that all of them agree to the last bit.
#pragma once

#include <cstdint>

namespace expression {

// Receives the call's argument values in order (as many as the entry's argumentCount).
using MathFunction = double (*)(const double* arguments);

struct FunctionEntry {
    const char* name;
    int32_t argumentCount;
    MathFunction function;
};

// Twenty functions, then an entry with the empty name, argument count 0 and no function.
inline constexpr int32_t functionCount = 20;
extern const FunctionEntry functionTable[functionCount + 1];

// The entry named exactly `name`, or null.
const FunctionEntry* findFunction(const char* name);

}  // namespace expression
