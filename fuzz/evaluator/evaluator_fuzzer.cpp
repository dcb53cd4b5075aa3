// Feeds arbitrary bytes to the evaluator as an expression text, with arbitrary input values, the
// way the expression module prepares each evaluation step. Beyond what the sanitizers watch, the
// same step made twice in a row must give the same outcome: completion, result bits, error record
// and variable table.
//
// Input layout: the last 32 bytes are the inputs a, b, c and d as raw double bits (any NaN,
// infinity or negative zero included); the bytes before them are the text.

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "expression_plugin/evaluator/expression_evaluator.h"

namespace {

using expression::ErrorRecord;
using expression::EvalErrorCode;
using expression::ExpressionEvaluator;
using expression::VariableEntry;
using expression::VariableTable;

struct Outcome {
    bool completed;
    uint64_t resultBits;
    ErrorRecord record;
    VariableTable table;
};

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "evaluator_fuzzer: %s\n", what);
        __builtin_trap();
    }
}

Outcome evaluationStep(ExpressionEvaluator& evaluator, const double (&inputs)[4],
                       const char* text) {
    VariableTable& table = evaluator.variables();
    table.clearAllVariables();
    table.setVariable("a", inputs[0]);
    table.setVariable("b", inputs[1]);
    table.setVariable("c", inputs[2]);
    table.setVariable("d", inputs[3]);
    double result = 0.0;
    const bool completed = evaluator.evaluateExpression(text, result);
    return {completed, std::bit_cast<uint64_t>(result), evaluator.errorRecord(), table};
}

bool sameSlot(const VariableEntry& x, const VariableEntry& y) {
    if (x.name[0] == '\0' || y.name[0] == '\0') {
        return x.name[0] == y.name[0];
    }
    return std::strcmp(x.name, y.name) == 0 &&
           std::bit_cast<uint64_t>(x.value) == std::bit_cast<uint64_t>(y.value);
}

bool sameOutcome(const Outcome& x, const Outcome& y) {
    if (x.completed != y.completed || x.resultBits != y.resultBits ||
        x.record.code != y.record.code || x.record.position != y.record.position ||
        std::strcmp(x.record.tokenText, y.record.tokenText) != 0) {
        return false;
    }
    for (int i = 0; i < expression::variableSlotCount; ++i) {
        if (!sameSlot(x.table.slots()[i], y.table.slots()[i])) {
            return false;
        }
    }
    return true;
}

void checkTable(const VariableTable& table) {
    const auto& slots = table.slots();
    for (int i = 0; i < expression::variableSlotCount; ++i) {
        if (slots[i].name[0] == '\0') {
            continue;
        }
        require(slots[i].name[expression::variableNameLength] == '\0', "name longer than 15");
        for (int j = i + 1; j < expression::variableSlotCount; ++j) {
            require(std::strcmp(slots[i].name, slots[j].name) != 0, "name stored twice");
        }
    }
}

void checkOutcome(const Outcome& outcome) {
    checkTable(outcome.table);
    const ErrorRecord& record = outcome.record;
    if (outcome.completed) {
        // A fresh evaluator whose evaluation completed has raised nothing.
        require(record.code == EvalErrorCode::None, "record written without an error");
        return;
    }
    const auto code = static_cast<int32_t>(record.code);
    require(code >= 1 && code <= 9, "error code out of range");
    require(record.position >= -1 && record.position < expression::workingTextSize - 1,
            "error position outside the working text");
    require(std::memchr(record.tokenText, '\0', sizeof record.tokenText) != nullptr,
            "token text not terminated");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    double inputs[4];
    for (double& input : inputs) {
        input = std::bit_cast<double>(provider.ConsumeIntegral<uint64_t>());
    }
    // An exactly sized copy, so the sanitizer sees any read past the terminator.
    const std::string bytes = provider.ConsumeRemainingBytesAsString();
    const auto text = std::make_unique<char[]>(bytes.size() + 1);
    std::memcpy(text.get(), bytes.data(), bytes.size());
    text[bytes.size()] = '\0';

    ExpressionEvaluator evaluator;
    const Outcome first = evaluationStep(evaluator, inputs, text.get());
    checkOutcome(first);
    const Outcome second = evaluationStep(evaluator, inputs, text.get());
    require(sameOutcome(first, second), "a second evaluation of the same step differs");
    require(std::memcmp(text.get(), bytes.data(), bytes.size()) == 0, "the text was modified");
    return 0;
}
