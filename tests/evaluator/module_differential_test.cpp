// The expression module as shipped (compiled texts, runs of changed positions evaluated as
// batches) against the module's rules carried out literally with the interpreting evaluator:
// the change test at every position, the table emptied and filled, the text interpreted, Y from
// the result. Streams hold the cases that matter to the change test (inputs at rest, inputs
// stepping to exactly ten times their value, not-a-numbers) and zeros that make divisions fail
// inside a batch; blocks start and end anywhere in the buffers.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <span>
#include <string>

#include "differential_check.h"
#include "expression_generator.h"
#include "expression_plugin/evaluator/expression_evaluator.h"
#include "host/two_export_host.h"
#include "host_protocol/pin_properties.h"

namespace expression_testing {
namespace {

constexpr int32_t bufferLength = 300;
constexpr int32_t functionPin = 0;
constexpr int32_t firstInputPin = 2;
constexpr int32_t outputPin = 6;
constexpr float voltsPerUnit = 10.0f;
constexpr float unitsPerVolt = 0.1f;

// The module's rules, one position at a time.
class LiteralModule {
  public:
    float step(const std::string& text, const float (&samples)[4]) {
        bool changed = false;
        for (int32_t i = 0; i < 4; ++i) changed |= std::islessgreater(kept_[i], samples[i]);
        if (changed) {
            expression::VariableTable& table = evaluator_->variables();
            table.clearAllVariables();
            const char* const names[4] = {"a", "b", "c", "d"};
            for (int32_t i = 0; i < 4; ++i) {
                kept_[i] = samples[i] * voltsPerUnit;
                table.setVariable(names[i], kept_[i]);
            }
            evaluator_->evaluateExpression(text.c_str(), result_);
        }
        return static_cast<float>(result_ * static_cast<double>(unitsPerVolt));
    }

  private:
    std::unique_ptr<expression::ExpressionEvaluator> evaluator_ =
        std::make_unique<expression::ExpressionEvaluator>();
    float kept_[4] = {-99.9f, -99.9f, -99.9f, -99.9f};
    double result_ = 0.0;
};

// One input stream in one of the shapes the change test treats differently.
void fillStream(std::mt19937_64& random, std::span<float> buffer) {
    std::uniform_real_distribution<float> values(-1.0f, 1.0f);
    const auto chance = [&random](double p) {
        return std::uniform_real_distribution<double>(0.0, 1.0)(random) < p;
    };
    const int32_t shape = std::uniform_int_distribution<int32_t>(0, 4)(random);
    float previous = values(random);
    for (float& sample : buffer) {
        switch (shape) {
            case 0:
                sample = 0.0f;  // at rest
                break;
            case 1:
                sample = 0.25f;  // held away from zero: evaluated at every position
                break;
            default:
                sample = values(random);
                if (shape >= 3 && chance(0.2)) sample = previous * voltsPerUnit;  // no change
                if (shape >= 3 && chance(0.05)) sample = std::numeric_limits<float>::quiet_NaN();
                if (chance(0.05)) sample = 0.0f;
                break;
        }
        previous = sample;
    }
}

// An opened instance with `text` as its Function and all four inputs streaming.
std::unique_ptr<host::TwoExportInstance> streamingInstance(const host::TwoExportPlugin& plugin,
                                                           const std::string& text) {
    auto instance = plugin.create(host::InstanceOptions{.bufferCapacity = bufferLength});
    instance->setBlockSize(bufferLength);
    instance->open();
    instance->writeText(functionPin, text);
    for (int32_t input = 0; input < 4; ++input) {
        instance->sendStatus(firstInputPin + input, host_protocol::PinStatus::Streaming);
    }
    return instance;
}

TEST(ModuleDifferential, YIsWhatTheModuleRulesGiveSampleForSample) {
    const host::TwoExportPlugin plugin(DALT_QUORVAL_PATH);
    ExpressionGenerator generator(0xda17'0f'0d'01ULL);
    std::mt19937_64 random(7);
    const char* const fixedTexts[] = {"y = a + b + c + d", "a / b + c % d", "(x = a / c) + x",
                                      "sin(a * pi) * b",
                                      "hypot(a, b) / (abs(c) + 1) + floor(d * 3) % 2"};
    for (int32_t n = 0; n < 400; ++n) {
        const std::string text = n < 5 ? fixedTexts[n] : generator.text();
        const auto instance = streamingInstance(plugin, text);
        LiteralModule literal;
        for (int32_t block = 0; block < 4; ++block) {
            for (int32_t input = 0; input < 4; ++input) {
                fillStream(random, instance->buffer(firstInputPin + input));
            }
            const int32_t start = std::uniform_int_distribution<int32_t>(0, 40)(random);
            const int32_t count =
                std::uniform_int_distribution<int32_t>(0, bufferLength - start)(random);
            instance->process(start, count);
            const std::span<float> y = instance->buffer(outputPin);
            for (int32_t i = start; i < start + count; ++i) {
                float samples[4];
                for (int32_t input = 0; input < 4; ++input) {
                    samples[input] = instance->buffer(firstInputPin + input)[i];
                }
                const float expected = literal.step(text, samples);
                if (std::bit_cast<uint32_t>(expected) != std::bit_cast<uint32_t>(y[i])) {
                    const InputSet inputs = {{samples[0], samples[1], samples[2], samples[3]}};
                    FAIL() << describe(text, inputs) << ", block " << block << " position " << i
                           << ": Y " << y[i] << " but the rules give " << expected;
                }
            }
        }
    }
}

// One input streams a signal that changes at every position but for rare tenfold steps (which
// hold), the others rest at 0: the input that changes must be followed, and every hold kept,
// wherever a hold falls in a call.
TEST(ModuleDifferential, ASingleStreamingInputWithRareHolds) {
    const host::TwoExportPlugin plugin(DALT_QUORVAL_PATH);
    const std::string text = "y = a + 2 * b + 3 * c + 4 * d";
    std::mt19937_64 random(11);
    std::uniform_real_distribution<float> values(-1.0f, 1.0f);
    for (int32_t streaming = 0; streaming < 4; ++streaming) {
        const auto instance = streamingInstance(plugin, text);
        LiteralModule literal;
        float previous = 0.5f;
        for (int32_t block = 0; block < 600; ++block) {
            const std::span<float> changing = instance->buffer(firstInputPin + streaming);
            for (float& sample : changing) {
                const bool hold = std::uniform_int_distribution<int32_t>(0, 79)(random) == 0;
                sample = hold ? previous * voltsPerUnit : values(random);
                previous = sample;
            }
            const int32_t start = std::uniform_int_distribution<int32_t>(0, 40)(random);
            const int32_t count =
                std::uniform_int_distribution<int32_t>(0, bufferLength - start)(random);
            instance->process(start, count);
            for (int32_t i = start; i < start + count; ++i) {
                float samples[4] = {};
                samples[streaming] = changing[i];
                const float expected = literal.step(text, samples);
                const float y = instance->buffer(outputPin)[i];
                if (std::bit_cast<uint32_t>(expected) != std::bit_cast<uint32_t>(y)) {
                    FAIL() << "input " << streaming << " streaming, block " << block << " position "
                           << i << ": Y " << y << " but the rules give " << expected;
                }
            }
        }
    }
}

}  // namespace
}  // namespace expression_testing
