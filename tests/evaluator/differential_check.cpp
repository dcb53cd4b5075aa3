#include "differential_check.h"

#include <bit>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace expression_testing {

namespace {

using expression::ErrorRecord;
using expression::VariableEntry;
using expression::VariableTable;

const char* const inputNames[] = {"a", "b", "c", "d"};

std::string formatted(const char* format, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

std::string bitsOf(double value) {
    return formatted("%a (bits %016" PRIx64 ")", value, std::bit_cast<uint64_t>(value));
}

std::string recordText(const ErrorRecord& record) {
    return formatted("code %d position %d token \"%s\"", static_cast<int>(record.code),
                     static_cast<int>(record.position), record.tokenText);
}

std::string slotText(const VariableEntry& slot) {
    if (slot.name[0] == '\0') {
        return "free";
    }
    return "\"" + std::string(slot.name) + "\" = " + bitsOf(slot.value);
}

bool sameSlot(const VariableEntry& x, const VariableEntry& y) {
    if (x.name[0] == '\0' || y.name[0] == '\0') {
        return x.name[0] == y.name[0];
    }
    return std::strcmp(x.name, y.name) == 0 &&
           std::bit_cast<uint64_t>(x.value) == std::bit_cast<uint64_t>(y.value);
}

}  // namespace

std::string describe(const std::string& text, const InputSet& inputs) {
    std::string out = "text \"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '"' || c == '\\') {
            out += formatted("\\x%02x", byte);
        } else {
            out += c;
        }
    }
    out += "\" with";
    for (int i = 0; i < 4; ++i) {
        out += formatted(" %s = %a", inputNames[i], inputs.values[i]);
    }
    return out;
}

DifferentialCheck::DifferentialCheck()
    : reference_(std::make_unique<expression::ExpressionEvaluator>()),
      compiled_(std::make_unique<expression::CompiledExpression>()) {}

CheckResult DifferentialCheck::check(const std::string& text, std::span<const InputSet> steps) {
    if (!compiled_->prepare(text.c_str())) {
        return {Verdict::DoesNotFit, {}};
    }
    const size_t single = steps.size() > 2 ? steps.size() / 2 : steps.size();
    const auto differs = [&](size_t step, const char* mode, const std::string& what) {
        return CheckResult{Verdict::Differs, describe(text, steps[step]) + ", step " +
                                                 std::to_string(step) + " (" + mode + "): " + what};
    };

    for (size_t k = 0; k < single; ++k) {
        double referenceResult = -123.0;
        const bool referenceCompleted = referenceStep(text, steps[k], referenceResult);
        double compiledResult = 456.0;
        const bool compiledCompleted = compiled_->evaluate(steps[k].values, compiledResult);
        std::string what =
            compareStep(referenceCompleted, referenceResult, compiledCompleted, compiledResult);
        if (what.empty()) what = compareState();
        if (!what.empty()) return differs(k, "one step", what);
    }
    if (single == steps.size()) {
        return {Verdict::Same, {}};
    }

    const auto batch = steps.subspan(single);
    for (size_t k = 0; k < batch.size(); ++k) {
        for (int i = 0; i < 4; ++i) {
            compiled_->inputColumn(i)[k] = batch[k].values[i];
        }
    }
    const double* results = compiled_->evaluateColumns(static_cast<int32_t>(batch.size()));
    if (results == nullptr) {
        // A divisor check failed somewhere in the batch: the steps go one at a time.
        for (size_t k = 0; k < batch.size(); ++k) {
            double referenceResult = -123.0;
            const bool referenceCompleted = referenceStep(text, batch[k], referenceResult);
            double compiledResult = 456.0;
            const bool compiledCompleted =
                compiled_->evaluateColumn(static_cast<int32_t>(k), compiledResult);
            std::string what =
                compareStep(referenceCompleted, referenceResult, compiledCompleted, compiledResult);
            if (what.empty()) what = compareState();
            if (!what.empty()) return differs(single + k, "batch, one column", what);
        }
        return {Verdict::Same, {}};
    }
    double batchResults[expression::CompiledExpression::columnCount];
    std::memcpy(batchResults, results, batch.size() * sizeof(double));
    for (size_t k = 0; k < batch.size(); ++k) {
        double referenceResult = -123.0;
        referenceStep(text, batch[k], referenceResult);
        if (std::bit_cast<uint64_t>(referenceResult) != std::bit_cast<uint64_t>(batchResults[k])) {
            return differs(
                single + k, "batch",
                "result " + bitsOf(referenceResult) + " but compiled " + bitsOf(batchResults[k]));
        }
    }
    const std::string what = compareState();
    if (!what.empty()) return differs(steps.size() - 1, "batch", what);
    return {Verdict::Same, {}};
}

// As the expression module prepares each evaluation step.
bool DifferentialCheck::referenceStep(const std::string& text, const InputSet& inputs,
                                      double& result) {
    VariableTable& table = reference_->variables();
    table.clearAllVariables();
    for (int i = 0; i < 4; ++i) {
        table.setVariable(inputNames[i], inputs.values[i]);
    }
    return reference_->evaluateExpression(text.c_str(), result);
}

std::string DifferentialCheck::compareStep(bool referenceCompleted, double referenceResult,
                                           bool compiledCompleted, double compiledResult) {
    if (referenceCompleted != compiledCompleted) {
        return formatted("completed %d but compiled %d", referenceCompleted, compiledCompleted);
    }
    if (std::bit_cast<uint64_t>(referenceResult) != std::bit_cast<uint64_t>(compiledResult)) {
        return "result " + bitsOf(referenceResult) + " but compiled " + bitsOf(compiledResult);
    }
    return {};
}

std::string DifferentialCheck::compareState() {
    const ErrorRecord& expected = reference_->errorRecord();
    const ErrorRecord& actual = compiled_->errorRecord();
    if (expected.code != actual.code || expected.position != actual.position ||
        std::strcmp(expected.tokenText, actual.tokenText) != 0) {
        return "error record " + recordText(expected) + " but compiled " + recordText(actual);
    }
    compiled_->reproduceVariables(reproduced_);
    for (int32_t i = 0; i < expression::variableSlotCount; ++i) {
        const VariableEntry& x = reference_->variables().slots()[i];
        const VariableEntry& y = reproduced_.slots()[i];
        if (!sameSlot(x, y)) {
            return formatted("variable slot %d: ", static_cast<int>(i)) + slotText(x) +
                   " but compiled " + slotText(y);
        }
    }
    return {};
}

}  // namespace expression_testing
