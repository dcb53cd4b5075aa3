#include "expression_plugin/evaluator/compiled_expression.h"

#include <emmintrin.h>

#include <cmath>
#include <cstring>

#include "expression_plugin/evaluator/operations.h"

namespace expression {

namespace {

const char* const inputNames[programInputCount] = {"a", "b", "c", "d"};

// Equal in the characters an evaluation reads: the first 299, up to the terminator.
bool sameWorkingText(const char* kept, const char* text) {
    for (int32_t i = 0; i < workingTextSize - 1; ++i) {
        if (kept[i] != text[i]) {
            return false;
        }
        if (text[i] == '\0') {
            return true;
        }
    }
    return true;
}

}  // namespace

bool CompiledExpression::prepare(const char* text) {
    if (text == nullptr) {
        text = "";
    }
    if (compiled_ && sameWorkingText(compiledText_, text)) {
        return fits_;
    }
    // The table the steps of the former text left stays what a caller asking for it gets until
    // the new text has made a step.
    if (stepMade_) {
        rebuildTable(settledTable_);
        stepMade_ = false;
    }

    int32_t length = 0;
    for (; length < workingTextSize - 1 && text[length] != '\0'; ++length) {
        compiledText_[length] = text[length];
    }
    compiledText_[length] = '\0';
    compiled_ = true;
    fits_ = compiler_.compile(text, program_);
    if (!fits_) {
        return false;
    }
    // Constants stay in their registers for good, in every column.
    for (int32_t c = 0; c < program_.constantCount; ++c) {
        double* const column = registers_[program_.constants[c].reg];
        for (int32_t k = 0; k < columnCount; ++k) {
            column[k] = program_.constants[c].value;
        }
    }
    return true;
}

bool CompiledExpression::evaluate(const StepInputs& inputs, double& result) {
    for (int32_t i = 0; i < programInputCount; ++i) {
        registers_[i][0] = inputs[i];
    }
    return evaluateColumn(0, result);
}

bool CompiledExpression::evaluateColumn(int32_t column, double& result) {
    const int32_t exit = run(column, column + 1);
    endStep(column, exit);
    result = registers_[program_.exits[exit].resultRegister][column];
    return program_.exits[exit].record.code == EvalErrorCode::None;
}

const double* CompiledExpression::evaluateSamples(const float* const (&samples)[programInputCount],
                                                  float scale, int32_t count) {
    for (int32_t i = 0; i < programInputCount; ++i) samples_[i] = samples[i];
    scale_ = scale;
    const int32_t exit = run(0, count);
    for (int32_t i = 0; i < programInputCount; ++i) samples_[i] = nullptr;
    // The input columns are filled only now, and only where something reads them afterwards:
    // the steps one at a time, a result that is an input, the latest step's inputs.
    const int32_t filled = exit == batchAbandoned ? count : 1;
    const int32_t from = exit == batchAbandoned ? 0 : count - 1;
    for (int32_t i = 0; i < programInputCount; ++i) {
        for (int32_t k = from; k < from + filled; ++k) {
            registers_[i][k] = samples[i][k] * scale;
        }
    }
    if (exit == batchAbandoned) {
        return nullptr;
    }
    const uint8_t resultRegister = program_.exits[exit].resultRegister;
    if (resultRegister < programInputCount) {
        for (int32_t k = 0; k < count; ++k) {
            registers_[resultRegister][k] = samples[resultRegister][k] * scale;
        }
    }
    endStep(count - 1, exit);
    return registers_[resultRegister];
}

const double* CompiledExpression::evaluateColumns(int32_t count) {
    const int32_t exit = run(0, count);
    if (exit == batchAbandoned) {
        return nullptr;
    }
    // Without a divisor check failing, every step of the batch ends at the same exit.
    endStep(count - 1, exit);
    return registers_[program_.exits[exit].resultRegister];
}

void CompiledExpression::endStep(int32_t column, int32_t exit) {
    for (int32_t i = 0; i < programInputCount; ++i) {
        latestInputs_[i] = registers_[i][column];
    }
    latestExit_ = exit;
    stepMade_ = true;
    if (program_.exits[exit].record.code != EvalErrorCode::None) {
        errorRecord_ = program_.exits[exit].record;
    }
}

namespace {

// Where an instruction reads its operands from: a register's column, or, while a batch runs
// on scaled samples, an input's samples scaled in single precision and widened. `pair` reads
// steps k and k + 1 at once (all three targets have SSE2).
struct RegisterColumn {
    const double* values;
    double operator()(int32_t k) const { return values[k]; }
    __m128d pair(int32_t k) const { return _mm_loadu_pd(values + k); }
};
struct ScaledSamples {
    const float* samples;
    float scale;
    double operator()(int32_t k) const { return samples[k] * scale; }
    __m128d pair(int32_t k) const {
        const __m128 two =
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples + k)));
        return _mm_cvtps_pd(_mm_mul_ps(two, _mm_set1_ps(scale)));
    }
};

}  // namespace

// Calls `loop` with the two operand readers of `instruction`.
template <class Loop>
void CompiledExpression::withOperands(const ProgramInstruction& instruction, Loop loop) const {
    const auto column = [this](uint8_t reg) { return RegisterColumn{registers_[reg]}; };
    const auto scaled = [this](uint8_t reg) { return ScaledSamples{samples_[reg], scale_}; };
    const bool leftScaled = samples_[0] != nullptr && instruction.left < programInputCount;
    const bool rightScaled = samples_[0] != nullptr && instruction.right < programInputCount;
    if (leftScaled && rightScaled) {
        loop(scaled(instruction.left), scaled(instruction.right));
    } else if (leftScaled) {
        loop(scaled(instruction.left), column(instruction.right));
    } else if (rightScaled) {
        loop(column(instruction.left), scaled(instruction.right));
    } else {
        loop(column(instruction.left), column(instruction.right));
    }
}

// Each instruction runs over the whole batch before the next one starts, so the dispatch is paid
// once per batch and the loops are plain array arithmetic. Every operation is the evaluator's own.
int32_t CompiledExpression::run(int32_t first, int32_t last) {
    for (const ProgramInstruction* instruction = program_.instructions;; ++instruction) {
        double* const target = registers_[instruction->target];
        const auto apply = [&](auto operation) {
            withOperands(*instruction, [&](auto left, auto right) {
                for (int32_t k = first; k < last; ++k) target[k] = operation(left(k), right(k));
            });
        };
        // Sums and products take the left of two not-a-numbers, which costs a compare and a
        // blend per step. The plain operation, which a compiler may commute, gives the same bits
        // wherever the left operand is a number, so it runs two steps at a time, and a batch
        // with a left not-a-number is done again by the rule.
        const auto applyLeftWins = [&](auto operation, auto pairOperation) {
            withOperands(*instruction, [&](auto left, auto right) {
                int32_t k = first;
                __m128d leftNotANumber = _mm_setzero_pd();
                for (; k + 2 <= last; k += 2) {
                    const __m128d leftPair = left.pair(k);
                    leftNotANumber = _mm_or_pd(leftNotANumber, _mm_cmpunord_pd(leftPair, leftPair));
                    _mm_storeu_pd(target + k, pairOperation(leftPair, right.pair(k)));
                }
                if (_mm_movemask_pd(leftNotANumber) != 0) k = first;
                for (; k < last; ++k) target[k] = operation(left(k), right(k));
            });
        };
        switch (instruction->opcode) {
            case ProgramOpcode::Add:
                applyLeftWins([](double left, double right) { return add(left, right); },
                              [](auto left, auto right) { return _mm_add_pd(left, right); });
                break;
            case ProgramOpcode::Subtract:
                apply([](double left, double right) { return subtract(left, right); });
                break;
            case ProgramOpcode::Multiply:
                applyLeftWins([](double left, double right) { return multiply(left, right); },
                              [](auto left, auto right) { return _mm_mul_pd(left, right); });
                break;
            case ProgramOpcode::Divide:
                apply([](double left, double right) { return divide(left, right); });
                break;
            case ProgramOpcode::Modulo:
                apply([](double left, double right) { return modulo(left, right); });
                break;
            case ProgramOpcode::Power:
                apply([](double left, double right) { return power(left, right); });
                break;
            case ProgramOpcode::Negate:
                apply([](double operand, double) { return negate(operand); });
                break;
            case ProgramOpcode::Call:
                switch (instruction->kernel) {
                    case CallKernel::Absolute:
                        apply([](double argument, double) { return std::fabs(argument); });
                        break;
                    case CallKernel::SquareRoot:
                        apply([](double argument, double) { return std::sqrt(argument); });
                        break;
                    case CallKernel::TableEntry:
                        apply([function = instruction->function](double left, double right) {
                            const double arguments[2] = {left, right};
                            return function(arguments);
                        });
                        break;
                }
                break;
            case ProgramOpcode::CheckDivisor: {
                bool zero = false;
                withOperands(*instruction, [&](auto divisor, auto) {
                    for (int32_t k = first; k < last; ++k) zero |= isZeroDivisor(divisor(k));
                });
                if (zero) {
                    return last - first == 1 ? instruction->exit : batchAbandoned;
                }
                break;
            }
            case ProgramOpcode::Finish:
                return instruction->exit;
        }
    }
}

void CompiledExpression::reproduceVariables(VariableTable& table) {
    if (!stepMade_) {
        table = settledTable_;
        return;
    }
    rebuildTable(table);
}

// Runs the latest step again in column 0 and replays the stores and removals it made, with the
// table's own operations, on a table prepared as the module prepares it.
void CompiledExpression::rebuildTable(VariableTable& table) {
    for (int32_t i = 0; i < programInputCount; ++i) {
        registers_[i][0] = latestInputs_[i];
    }
    const int32_t exit = run(0, 1);
    table.clearAllVariables();
    for (int32_t i = 0; i < programInputCount; ++i) {
        table.setVariable(inputNames[i], latestInputs_[i]);
    }
    for (int32_t e = 0; e < program_.exits[exit].tableEventCount; ++e) {
        const TableEvent& event = program_.tableEvents[e];
        if (event.store) {
            table.setVariable(event.name, registers_[event.valueRegister][0]);
        } else {
            table.clearVariable(event.name);
        }
    }
}

}  // namespace expression
