// The parse-once way of evaluating an expression text: the text is compiled when it differs from
// the text compiled last, and each evaluation step then runs the compiled program, alone or as
// one column of a batch of steps. It gives exactly what ExpressionEvaluator gives after the
// expression module's preparation of the variable table (a to d in slots 0 to 3): the same
// result bits (the running value after an error included), the same error record and the same
// variable table. The table is not kept up at each step; it is rebuilt when asked for. All
// storage is fixed and inside the object, so the first step after a new text, which compiles,
// can run on the audio thread.
#pragma once

#include <cstdint>

#include "expression_plugin/evaluator/eval_error.h"
#include "expression_plugin/evaluator/expression_evaluator.h"
#include "expression_plugin/evaluator/expression_program.h"
#include "expression_plugin/evaluator/program_compiler.h"
#include "expression_plugin/evaluator/variable_table.h"

namespace expression {

// The inputs of one evaluation step, in the order a, b, c, d.
using StepInputs = double[programInputCount];

class CompiledExpression {
  public:
    // Evaluation steps that one batch can hold.
    static constexpr int32_t columnCount = 64;

    CompiledExpression() = default;
    CompiledExpression(const CompiledExpression&) = delete;
    CompiledExpression& operator=(const CompiledExpression&) = delete;

    // Called before evaluating with `text` (zero-terminated, only read; null counts as the empty
    // text). Compiles it when its first 299 characters differ from those of the text compiled
    // last; the contents are compared, since a host may reuse its buffer. False when the text's
    // program does not fit the fixed storage: the caller then evaluates this text with
    // ExpressionEvaluator, and nothing here changes until a text that fits comes.
    bool prepare(const char* text);

    // One evaluation step. `result` receives the value the evaluator would leave in it; true
    // when the evaluation completed, false when it raised an error (errorRecord() then tells
    // which). Only after a successful prepare.
    bool evaluate(const StepInputs& inputs, double& result);

    // A batch of evaluation steps: write the inputs of step k at index k of the four input
    // columns (a, b, c, d: each columnCount doubles), then evaluate steps 0 to count - 1.
    double* inputColumn(int32_t input) { return registers_[input]; }
    // Answers the column of results, valid until the next evaluation. Answers null, having
    // recorded nothing, when a step of the batch would end in a division by zero: the caller
    // then evaluates the steps one at a time with evaluateColumn, in order.
    const double* evaluateColumns(int32_t count);
    // The same for a batch whose inputs are single-precision samples: the input of step k is
    // samples[input][k] × scale in single precision, widened. Null as above, and the input
    // columns then hold the steps' inputs for evaluateColumn.
    const double* evaluateSamples(const float* const (&samples)[programInputCount], float scale,
                                  int32_t count);
    // Evaluation step `column` of the batch, as evaluate does it.
    bool evaluateColumn(int32_t column, double& result);

    // Whether the latest evaluation step made here completed (a batch's steps all end alike).
    bool latestStepCompleted() const {
        return program_.exits[latestExit_].record.code == EvalErrorCode::None;
    }

    // The last error raised by an evaluation here; zeroed (code None) until the first one.
    const ErrorRecord& errorRecord() const { return errorRecord_; }

    // Fills `table` as ExpressionEvaluator's own table would stand after the latest evaluation
    // step made here (the module's preparation included); emptied when none was made yet. It
    // runs that step again in column 0, so the inputs and results of a batch are gone after it.
    void reproduceVariables(VariableTable& table);

  private:
    static constexpr int32_t batchAbandoned = -1;

    // Runs the program over columns [first, last) and answers the exit they end at; with more
    // than one column, batchAbandoned when a divisor check fails in any of them.
    int32_t run(int32_t first, int32_t last);
    template <class Loop>
    void withOperands(const ProgramInstruction& instruction, Loop loop) const;
    // The step in `column` ended at `exit`: keep what reproducing it needs.
    void endStep(int32_t column, int32_t exit);
    void rebuildTable(VariableTable& table);

    ProgramCompiler compiler_;
    ExpressionProgram program_;
    char compiledText_[workingTextSize] = {};
    bool compiled_ = false;
    bool fits_ = false;

    ErrorRecord errorRecord_{};
    // The inputs and the exit of the latest step, from which the table is rebuilt on request;
    // the table a former text left is kept in settledTable_ when a new text is compiled.
    StepInputs latestInputs_ = {};
    int32_t latestExit_ = 0;
    bool stepMade_ = false;
    VariableTable settledTable_;

    alignas(64) double registers_[programRegisterCount][columnCount] = {};
    // Set while evaluateSamples runs: the inputs are read from here instead of registers 0 to 3.
    const float* samples_[programInputCount] = {};
    float scale_ = 1.0f;
};

}  // namespace expression
