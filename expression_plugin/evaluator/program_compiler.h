// Compiles an expression text into an ExpressionProgram by walking it exactly as the
// interpreting evaluator does (same scanner, same grammar levels, same order), with values
// replaced by the registers that will hold them at run time. Everything that decides the course
// of an evaluation except a zero divisor depends on the text and on which names the variable
// table holds, never on the input values, so the walk follows that course at compile time:
// it keeps a variable table of value numbers, emits a divisor check where the evaluator tests a
// divisor, and ends with the error the evaluator would raise when it meets one that does not
// depend on values. Allocates nothing.
#pragma once

#include <csetjmp>
#include <cstdint>

#include "expression_plugin/evaluator/eval_error.h"
#include "expression_plugin/evaluator/expression_evaluator.h"
#include "expression_plugin/evaluator/expression_program.h"
#include "expression_plugin/evaluator/token_scanner.h"
#include "expression_plugin/evaluator/variable_table.h"

namespace expression {

class ProgramCompiler {
  public:
    ProgramCompiler() = default;
    ProgramCompiler(const ProgramCompiler&) = delete;
    ProgramCompiler& operator=(const ProgramCompiler&) = delete;

    // Compiles `text` (null counts as the empty text) for a variable table that holds a, b, c
    // and d in slots 0 to 3 and nothing else, as the expression module prepares it. False when
    // the program does not fit the program's fixed storage; `program` is then unusable.
    bool compile(const char* text, ExpressionProgram& program);

  private:
    enum class ValueKind : uint8_t { Input, Constant, Computed };
    using Value = uint16_t;  // index into values_

    struct ValueInfo {
        ValueKind kind;
        double constant;
    };
    struct Instruction {
        ProgramOpcode opcode;
        Value target;
        Value left;
        Value right;
        int16_t exit;
        MathFunction function;
        CallKernel kernel;
    };
    struct Exit {
        ErrorRecord record;
        Value result;
        int16_t tableEventCount;
    };
    struct Event {
        bool store;
        Value value;
        char name[variableNameSize];
    };

    static constexpr int32_t valueCapacity = 1024;
    static constexpr int32_t maximumArguments = 4;

    // The two ways out of a walk: the text's own end (completion or an error it raises), and
    // running out of room.
    [[noreturn]] void finish(EvalErrorCode code);
    [[noreturn]] void raiseError(EvalErrorCode code) { finish(code); }
    [[noreturn]] void doesNotFit();

    // The next token; a character that begins none ends the walk with a syntax error.
    void getToken();

    void compileText();
    void evalAssignment(Value& location);
    void evalAdditive(Value& location);
    void evalTerm(Value& location);
    void evalPower(Value& location);
    void evalUnary(Value& location);
    void evalPrimary(Value& location);
    void evalFunctionCall(Value& location);

    Value newValue(ValueKind kind, double constant);
    Value constant(double value) { return newValue(ValueKind::Constant, value); }
    bool isConstant(Value value) const { return values_[value].kind == ValueKind::Constant; }
    double constantOf(Value value) const { return values_[value].constant; }
    Value emit(ProgramOpcode opcode, Value left, Value right, MathFunction function = nullptr);
    Value binary(ProgramOpcode opcode, Value left, Value right);
    void checkDivisor(Value divisor);
    int16_t addExit(EvalErrorCode code);
    void addEvent(bool store, const char* name, Value value);
    bool findName(const char* name, Value& value);

    int32_t readsOf(const Instruction& instruction, Value (&reads)[3]) const;
    bool assemble(ExpressionProgram& program);
    bool allocateRegisters(ExpressionProgram& program);

    // The same scanner as the evaluator's.
    TokenScanner scanner_;
    // Names as the evaluation would hold them; each slot's value is a value number.
    VariableTable table_;
    Value result_ = 0;
    Value zero_ = 0;

    ValueInfo values_[valueCapacity] = {};
    int32_t valueCount_ = 0;
    Instruction instructions_[programInstructionCapacity] = {};
    int32_t instructionCount_ = 0;
    Exit exits_[programExitCapacity] = {};
    int32_t exitCount_ = 0;
    Event events_[programTableEventCapacity] = {};
    int32_t eventCount_ = 0;

    std::jmp_buf walkEnd_{};
    // Working storage of the register allocation, per value.
    int32_t lastUse_[valueCapacity] = {};
    int16_t register_[valueCapacity] = {};
};

}  // namespace expression
