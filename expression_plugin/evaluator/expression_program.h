// An expression text compiled once into straight-line code over a small register file, so that
// each evaluation step runs the arithmetic without scanning or parsing. The program reproduces
// the interpreting evaluator exactly: the same operations in the same order, a divisor check at
// every point where the text can fail at run time, and for every way the evaluation can end the
// value that the result location holds there, the error record it raises and the variable table
// it leaves. Fixed storage only: a program is compiled on the audio thread.
#pragma once

#include <cstdint>

#include "expression_plugin/evaluator/eval_error.h"
#include "expression_plugin/evaluator/function_table.h"
#include "expression_plugin/evaluator/variable_table.h"

namespace expression {

// Registers 0 to 3 hold the inputs a to d; constants and computed values take the others.
inline constexpr int32_t programRegisterCount = 64;
inline constexpr int32_t programInputCount = 4;
inline constexpr int32_t programInstructionCapacity = 320;
inline constexpr int32_t programExitCapacity = 160;
inline constexpr int32_t programConstantCapacity = 48;
// Stores and removals of variables, in the order the evaluation makes them.
inline constexpr int32_t programTableEventCapacity = 96;

enum class ProgramOpcode : uint8_t {
    Add = 0,
    Subtract = 1,
    Multiply = 2,
    Divide = 3,
    Modulo = 4,
    Power = 5,
    Negate = 6,        // target = -left
    Call = 7,          // target = function(left[, right])
    CheckDivisor = 8,  // ends at `exit` when left is a zero divisor
    Finish = 9,        // ends at `exit`
};

// How a Call runs a batch: through the function table's entry, or, for the functions that are
// a single standard operation, as that operation inline (the same bits, in vector code).
enum class CallKernel : uint8_t {
    TableEntry = 0,
    Absolute = 1,    // "abs": std::fabs
    SquareRoot = 2,  // "sqrt": std::sqrt
};

struct ProgramInstruction {
    ProgramOpcode opcode;
    uint8_t target;
    uint8_t left;
    uint8_t right;
    CallKernel kernel;  // Call only
    int16_t exit;       // CheckDivisor and Finish: index into the program's exits
    MathFunction function;
};

// One way an evaluation can end: completion (code None) or an error.
struct ProgramExit {
    ErrorRecord record;
    uint8_t resultRegister;   // what the caller's result holds when the evaluation ends here
    int16_t tableEventCount;  // the table events made before the evaluation ends here
};

// A store (setVariable) or a removal (clearVariable) of one variable.
struct TableEvent {
    bool store;
    uint8_t valueRegister;  // stores only; the register keeps the value to the end
    char name[variableNameSize];
};

struct ProgramConstant {
    uint8_t reg;
    double value;
};

struct ExpressionProgram {
    int32_t instructionCount = 0;
    int32_t exitCount = 0;
    int32_t constantCount = 0;
    int32_t tableEventCount = 0;
    int32_t registerCount = 0;
    ProgramInstruction instructions[programInstructionCapacity];
    ProgramExit exits[programExitCapacity];
    ProgramConstant constants[programConstantCapacity];
    TableEvent tableEvents[programTableEventCapacity];
};

}  // namespace expression
