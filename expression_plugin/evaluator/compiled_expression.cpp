#include "expression_plugin/evaluator/compiled_expression.h"

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

// Each instruction runs over the whole batch before the next one starts, so the dispatch is paid
// once per batch and the loops are plain array arithmetic. Every operation is the evaluator's own.
int32_t CompiledExpression::run(int32_t first, int32_t last) {
    for (const ProgramInstruction* instruction = program_.instructions;; ++instruction) {
        double* const target = registers_[instruction->target];
        const double* const left = registers_[instruction->left];
        const double* const right = registers_[instruction->right];
        switch (instruction->opcode) {
            case ProgramOpcode::Add:
                for (int32_t k = first; k < last; ++k) target[k] = add(left[k], right[k]);
                break;
            case ProgramOpcode::Subtract:
                for (int32_t k = first; k < last; ++k) target[k] = subtract(left[k], right[k]);
                break;
            case ProgramOpcode::Multiply:
                for (int32_t k = first; k < last; ++k) target[k] = multiply(left[k], right[k]);
                break;
            case ProgramOpcode::Divide:
                for (int32_t k = first; k < last; ++k) target[k] = divide(left[k], right[k]);
                break;
            case ProgramOpcode::Modulo:
                for (int32_t k = first; k < last; ++k) target[k] = modulo(left[k], right[k]);
                break;
            case ProgramOpcode::Power:
                for (int32_t k = first; k < last; ++k) target[k] = power(left[k], right[k]);
                break;
            case ProgramOpcode::Negate:
                for (int32_t k = first; k < last; ++k) target[k] = negate(left[k]);
                break;
            case ProgramOpcode::Call: {
                const MathFunction function = instruction->function;
                for (int32_t k = first; k < last; ++k) {
                    const double arguments[2] = {left[k], right[k]};
                    target[k] = function(arguments);
                }
                break;
            }
            case ProgramOpcode::CheckDivisor: {
                bool zero = false;
                for (int32_t k = first; k < last; ++k) zero |= isZeroDivisor(left[k]);
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
