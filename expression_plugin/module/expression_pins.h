// The pins of Dalt-F Quorval, in the order the host sees them, and the Process choices.
#pragma once

#include <cstdint>

namespace expression_module {

enum class ExpressionPin : int32_t {
    Function = 0,  // input text: the expression, evaluated case-insensitively
    Process = 1,   // input enumeration: ProcessMode
    A = 2,         // input streams a to d: enter the expression as volts (sample × 10)
    B = 3,
    C = 4,
    D = 5,
    Y = 6,  // output stream: the expression's value × 0.1
};

inline constexpr int32_t kExpressionPinCount = 7;

// The Process pin's values.
enum class ProcessMode : int16_t {
    SampleRate = 0,    // evaluate at every sample
    SampleFrames = 1,  // evaluate once per process call, from the call's first sample
};

}  // namespace expression_module
