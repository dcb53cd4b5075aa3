// What the expression module reports on request between process calls, whichever way it
// evaluated: the last error raised and the variable table the latest evaluation left, compared
// with the interpreting evaluator making the module's latest evaluation step.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "expression_plugin/evaluator/expression_evaluator.h"
#include "expression_plugin/module/expression_module.h"
#include "host_protocol/pin_properties.h"

namespace expression_testing {
namespace {

constexpr int32_t blockLength = 100;

std::string tooManyConstants() {
    std::string text = "a";
    for (int32_t n = 1; n <= 60; ++n) text += "+" + std::to_string(n);
    return text + " + q";
}

// The module with its pin variables written as the host writes them.
class ModuleState : public testing::Test {
  protected:
    void SetUp() override {
        module_->open();
        for (int32_t input = 0; input < 4; ++input) {
            inputs_[input].resize(blockLength);
            for (int32_t i = 0; i < blockLength; ++i) {
                inputs_[input][i] = 0.01f * static_cast<float>((i * (input + 3)) % 17) - 0.05f;
            }
            write(2 + input, inputs_[input].data());
        }
        write(6, output_.data());
    }

    template <class Value>
    void write(int32_t pin, Value value) {
        host_protocol::PinProperties props{};
        ASSERT_TRUE(module_->getPinProperties(pin, &props));
        std::memcpy(props.variable, &value, sizeof value);
    }

    // The module's latest evaluation step made again by the interpreter: the last position,
    // whose inputs all change at every position here.
    void expectStateOfLastStep(const char* text) {
        double result = 0.0;
        const char* const names[4] = {"a", "b", "c", "d"};
        expression::VariableTable& table = reference_->variables();
        table.clearAllVariables();
        for (int32_t input = 0; input < 4; ++input) {
            table.setVariable(names[input], inputs_[input][blockLength - 1] * 10.0f);
        }
        reference_->evaluateExpression(text, result);

        const expression::ErrorRecord& expected = reference_->errorRecord();
        const expression::ErrorRecord& actual = module_->lastError();
        EXPECT_EQ(actual.code, expected.code) << text;
        EXPECT_EQ(actual.position, expected.position) << text;
        EXPECT_STREQ(actual.tokenText, expected.tokenText) << text;
        expression::VariableTable reported;
        module_->latestVariables(reported);
        for (int32_t slot = 0; slot < expression::variableSlotCount; ++slot) {
            const expression::VariableEntry& x = table.slots()[slot];
            const expression::VariableEntry& y = reported.slots()[slot];
            ASSERT_EQ(x.name[0] == '\0', y.name[0] == '\0') << text << " slot " << slot;
            if (x.name[0] == '\0') continue;
            EXPECT_STREQ(x.name, y.name) << text << " slot " << slot;
            EXPECT_EQ(std::bit_cast<uint64_t>(x.value), std::bit_cast<uint64_t>(y.value))
                << text << " slot " << slot;
        }
    }

    std::unique_ptr<expression_module::ExpressionModule> module_ =
        std::make_unique<expression_module::ExpressionModule>(nullptr, nullptr);
    std::unique_ptr<expression::ExpressionEvaluator> reference_ =
        std::make_unique<expression::ExpressionEvaluator>();
    std::vector<float> inputs_[4];
    std::vector<float> output_ = std::vector<float>(blockLength);
};

// Texts through the compiled path and through the interpreter (too many constants), with and
// without errors, one after the other, so each report must come from the right one.
TEST_F(ModuleState, ReportsTheLastErrorAndTheTableOfTheLatestStep) {
    const std::string fallbackWithError = tooManyConstants();
    const char* const texts[] = {
        "y = a + b + c + d", "(x = a * 2) + x + q",     "(pi = b) / pi",
        "z = c / (d - d)",   fallbackWithError.c_str(), "w = a",
        "(v = 1) + (v =",
    };
    for (const char* text : texts) {
        write(0, text);
        module_->processSamples(0, blockLength);
        expectStateOfLastStep(text);
    }
}

// open empties the table, so nothing of the latest evaluation is reported after it.
TEST_F(ModuleState, OpenEmptiesTheReportedTable) {
    write(0, "y = a");
    module_->processSamples(0, blockLength);
    module_->open();
    expression::VariableTable reported;
    module_->latestVariables(reported);
    for (const expression::VariableEntry& slot : reported.slots()) {
        EXPECT_EQ(slot.name[0], '\0');
    }
}

}  // namespace
}  // namespace expression_testing
