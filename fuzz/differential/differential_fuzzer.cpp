// Feeds arbitrary bytes as an expression text, with arbitrary input values, to the interpreting
// evaluator and to the compiled program, and stops at the first step where they differ in the
// result bits, the completion, the error record or the variable table.
//
// Input layout: the last byte chooses how many evaluation steps are made (1 to 8), the 32 bytes
// before it and each group of 32 before those are the inputs a, b, c and d of one step as raw
// double bits (any not-a-number, infinity or negative zero included); the bytes before them are
// the text. Steps after the first half go through the compiled side as one batch.

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "differential_check.h"

using expression_testing::CheckResult;
using expression_testing::DifferentialCheck;
using expression_testing::InputSet;
using expression_testing::Verdict;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    std::vector<InputSet> steps(provider.ConsumeIntegralInRange<size_t>(1, 8));
    for (InputSet& step : steps) {
        for (double& value : step.values) {
            value = std::bit_cast<double>(provider.ConsumeIntegral<uint64_t>());
        }
    }
    const std::string text = provider.ConsumeRemainingBytesAsString();

    // A fresh pair for every input, so that a reported input reproduces on its own.
    DifferentialCheck check;
    const CheckResult result = check.check(text, steps);
    if (result.verdict == Verdict::Differs) {
        std::fprintf(stderr, "differential_fuzzer: %s\n", result.difference.c_str());
        __builtin_trap();
    }
    return 0;
}
