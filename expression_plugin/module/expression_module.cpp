#include "expression_plugin/module/expression_module.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "expression_plugin/framework/process_function.h"
#include "expression_plugin/module/expression_pins.h"

namespace expression_module {

using host_protocol::HostOpcode;
using host_protocol::ModuleProperties;
using host_protocol::PinDataType;
using host_protocol::PinDirection;
using host_protocol::PinProperties;
using host_protocol::PinStatus;
using two_export_framework::Pin;
using two_export_framework::processTrampoline;

namespace {

constexpr float kVoltsPerUnit = 10.0f;
// Single precision on purpose: stored patches were made with this exact factor.
constexpr float kUnitsPerVolt = 0.1f;
// Kept inputs after open: no ordinary input is ever ten times this, so the first processed
// sample always evaluates.
constexpr float kForgottenInput = -99.9f;

const char kAboutText[] =
    "Dalt-F Quorval v1.0\n"
    "\n"
    "Valid operands\n"
    "+, -, *, /, %, ^, =, (, )\n"
    "\n"
    "Valid functions\n"
    "sin, asin, sinh, cos, acos, cosh, tan, atan, tanh, exp, log, log10, sqrt, floor, ceil, abs, "
    "hypot, rad, deg, sgn";

struct PinDescription {
    const char* name;
    PinDirection direction;
    PinDataType dataType;
    const char* defaultValue;
    const char* listText;
};

// Indexed by ExpressionPin.
constexpr PinDescription kPinDescriptions[] = {
    {"Function", PinDirection::Input, PinDataType::Text, "y = a + b + c + d", nullptr},
    {"Process", PinDirection::Input, PinDataType::Enumeration, "0",
     "Sample Rate=0,Sample Frames=1"},
    {"a", PinDirection::Input, PinDataType::Stream, "0", nullptr},
    {"b", PinDirection::Input, PinDataType::Stream, "0", nullptr},
    {"c", PinDirection::Input, PinDataType::Stream, "0", nullptr},
    {"d", PinDirection::Input, PinDataType::Stream, "0", nullptr},
    {"Y", PinDirection::Output, PinDataType::Stream, nullptr, nullptr},
};
static_assert(std::size(kPinDescriptions) == kExpressionPinCount);

constexpr ExpressionPin kInputStreamPins[] = {ExpressionPin::A, ExpressionPin::B, ExpressionPin::C,
                                              ExpressionPin::D};

constexpr int32_t pinIndex(ExpressionPin pin) {
    return static_cast<int32_t>(pin);
}

// An input buffer as the process loops read it; a pin the host left without a buffer reads as
// silence rather than through a null pointer.
const float kSilence = 0.0f;

struct InputStream {
    const float* samples;
    int32_t step;

    float at(int32_t offset) const { return samples[offset * step]; }
};

InputStream inputStream(const float* buffer, int32_t start) {
    return buffer != nullptr ? InputStream{buffer + start, 1} : InputStream{&kSilence, 0};
}

InputVolts samplesAt(const InputStream& a, const InputStream& b, const InputStream& c,
                     const InputStream& d, int32_t offset) {
    return {a.at(offset), b.at(offset), c.at(offset), d.at(offset)};
}

InputVolts toVolts(const InputVolts& samples) {
    return {samples.a * kVoltsPerUnit, samples.b * kVoltsPerUnit, samples.c * kVoltsPerUnit,
            samples.d * kVoltsPerUnit};
}

// The kept inputs are in volts and the samples are not: patches rely on this test as it has
// always been, so an input stepping to exactly ten times its last evaluated sample keeps the
// old value. A not-a-number on either side counts as unchanged.
bool inputsChanged(const InputVolts& kept, const InputVolts& samples) {
    return std::islessgreater(kept.a, samples.a) || std::islessgreater(kept.b, samples.b) ||
           std::islessgreater(kept.c, samples.c) || std::islessgreater(kept.d, samples.d);
}

// The product is formed in double precision, then narrowed to the stream's single precision.
float outputValue(double volts) {
    return static_cast<float>(volts * static_cast<double>(kUnitsPerVolt));
}

// islessgreater's truth table, in a form that compiles to vector compares.
int32_t differ(float x, float y) {
    return (x < y) | (x > y);
}

// Whether one input alone counts as changed at each of `count` positions against its
// predecessor (the first against `kept`, in volts). One pass without early exits, so that it
// runs as vector code.
bool inputChangedThroughout(const float* samples, int32_t count, float kept) {
    int32_t unchanged = differ(kept, samples[0]) ? 0 : 1;
    for (int32_t k = 1; k < count; ++k) {
        unchanged += differ(samples[k - 1] * kVoltsPerUnit, samples[k]) ? 0 : 1;
    }
    return unchanged == 0;
}

float keptInput(const InputVolts& kept, int32_t input) {
    const float values[4] = {kept.a, kept.b, kept.c, kept.d};
    return values[input];
}

// The change test at `count` positions as if each of them were evaluated: true when every one
// counts as changed against its predecessor (the first against `kept`), and `kept` then holds
// the inputs of the last one in volts. False, with `kept` unchanged, when some position keeps
// the held value. An input that streams a changing signal changes at every position by itself,
// so `leadingInput` is tried alone first, which settles the usual case at a quarter of the
// cost; when it does not, the next input leads in the next batch.
bool changedThroughout(const float* const (&samples)[4], int32_t count, InputVolts& kept,
                       int32_t& leadingInput) {
    const auto volts = [&samples](int32_t input, int32_t k) {
        return samples[input][k] * kVoltsPerUnit;
    };
    bool changed =
        inputChangedThroughout(samples[leadingInput], count, keptInput(kept, leadingInput));
    if (!changed) {
        leadingInput = (leadingInput + 1) % 4;
        int32_t unchanged =
            inputsChanged(kept, {samples[0][0], samples[1][0], samples[2][0], samples[3][0]}) ? 0
                                                                                              : 1;
        for (int32_t k = 1; k < count; ++k) {
            const int32_t any =
                differ(volts(0, k - 1), samples[0][k]) | differ(volts(1, k - 1), samples[1][k]) |
                differ(volts(2, k - 1), samples[2][k]) | differ(volts(3, k - 1), samples[3][k]);
            unchanged += any ? 0 : 1;
        }
        changed = unchanged == 0;
    }
    if (!changed) return false;
    kept = {volts(0, count - 1), volts(1, count - 1), volts(2, count - 1), volts(3, count - 1)};
    return true;
}

}  // namespace

ExpressionModule::ExpressionModule(host_protocol::HostCallback hostCallback, void* hostData)
    : ModuleBase(hostCallback, hostData) {}

bool ExpressionModule::getProperties(ModuleProperties* props) {
    props->name = "Dalt-F Quorval";
    props->id = "Dalt-F Quovral";
    props->about = kAboutText;
    return true;
}

bool ExpressionModule::getPinProperties(int32_t index, PinProperties* props) {
    if (index < 0 || index >= kExpressionPinCount) return false;
    void* const variables[] = {&functionText, &processMode, &inA, &inB, &inC, &inD, &outY};
    static_assert(std::size(variables) == kExpressionPinCount);

    const PinDescription& pin = kPinDescriptions[index];
    props->name = pin.name;
    props->direction = static_cast<int32_t>(pin.direction);
    props->dataType = static_cast<int32_t>(pin.dataType);
    props->defaultValue = pin.defaultValue;
    props->listText = pin.listText;
    props->variable = variables[index];
    return true;
}

void ExpressionModule::open() {
    keepInputs({kForgottenInput, kForgottenInput, kForgottenInput, kForgottenInput});
    evaluator.variables().clearAllVariables();
    compiledLast = false;
    ModuleBase::open();
    setProcessFunction(processTrampoline<&ExpressionModule::processSamples>);
}

void ExpressionModule::pinChanged(Pin*) {
    // A pin the host does not keep counts as Static.
    const bool streaming = std::any_of(
        std::begin(kInputStreamPins), std::end(kInputStreamPins), [this](ExpressionPin input) {
            const Pin* pin = getPin(pinIndex(input));
            return pin != nullptr && pin->status() > static_cast<int32_t>(PinStatus::OneShot);
        });
    const PinStatus outputStatus = streaming ? PinStatus::Streaming : PinStatus::OneShot;
    if (Pin* output = getPin(pinIndex(ExpressionPin::Y))) {
        output->transmitStatus(sampleClock(), static_cast<int32_t>(outputStatus));
    }

    if (!streaming) {
        sleepCountdown = getBlockSize();
        setProcessFunction(processTrampoline<&ExpressionModule::processUntilSleep>);
        return;
    }
    switch (static_cast<ProcessMode>(processMode)) {
        case ProcessMode::SampleRate:
            setProcessFunction(processTrampoline<&ExpressionModule::processSamples>);
            break;
        case ProcessMode::SampleFrames:
            setProcessFunction(processTrampoline<&ExpressionModule::processFrame>);
            break;
        default:
            // A value the Process list does not offer keeps the current process function.
            break;
    }
}

void ExpressionModule::processSamples(int32_t start, int32_t count) noexcept {
    if (count <= 0) return;
    const InputStream a = inputStream(inA, start);
    const InputStream b = inputStream(inB, start);
    const InputStream c = inputStream(inC, start);
    const InputStream d = inputStream(inD, start);
    // Without an output buffer the module still evaluates, so its state stays the same.
    float discarded = 0.0f;
    float* const y = outY != nullptr ? outY + start : &discarded;
    const int32_t yStep = outY != nullptr ? 1 : 0;

    InputVolts kept = lastInputs();
    float output = outputValue(result);
    prepareEvaluation();
    // A run of positions that all count as changed is evaluated as one batch; any other run
    // goes position by position.
    const bool batches = compiledReady && inA != nullptr && inB != nullptr && inC != nullptr &&
                         inD != nullptr && outY != nullptr;
    for (int32_t i = 0; i < count;) {
        const int32_t run = std::min(count - i, expression::CompiledExpression::columnCount);
        if (batches) {
            const int32_t at = start + i;
            const float* const samples[4] = {inA + at, inB + at, inC + at, inD + at};
            if (changedThroughout(samples, run, kept, leadingInput)) {
                evaluateSamples(samples, run, outY + at);
                output = outputValue(result);
                i += run;
                continue;
            }
        }
        for (const int32_t end = i + run; i < end; ++i) {
            const InputVolts samples = samplesAt(a, b, c, d, i);
            if (inputsChanged(kept, samples)) {
                kept = toVolts(samples);
                output = outputValue(evaluate(kept));
            }
            y[i * yStep] = output;
        }
    }
    keepInputs(kept);
}

void ExpressionModule::processFrame(int32_t start, int32_t count) noexcept {
    if (count <= 0) return;
    prepareEvaluation();
    const InputVolts samples = samplesAt(inputStream(inA, start), inputStream(inB, start),
                                         inputStream(inC, start), inputStream(inD, start), 0);
    if (inputsChanged(lastInputs(), samples)) {
        keepInputs(toVolts(samples));
        evaluate(lastInputs());
    }
    // Every position of the call: positions left alone would replay an earlier block's samples.
    if (outY != nullptr) std::fill_n(outY + start, count, outputValue(result));
}

void ExpressionModule::processUntilSleep(int32_t start, int32_t count) noexcept {
    processSamples(start, count);
    // Saturating, so a host that goes on calling long after the request, or that set a block
    // size near the integer limits, keeps getting the request instead of an overflowed count.
    const int64_t remaining = static_cast<int64_t>(sleepCountdown) - count;
    sleepCountdown = static_cast<int32_t>(std::clamp<int64_t>(
        remaining, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    if (sleepCountdown <= 0) callHost(HostOpcode::SleepRequest);
}

// The text cannot change during a process call, so it is compared (and compiled when new) once
// per call. A new text is compiled on this thread, in the instance's own fixed storage.
void ExpressionModule::prepareEvaluation() {
    compiledReady = compiled.prepare(functionText);
}

double ExpressionModule::evaluate(const InputVolts& volts) {
    compiledLast = compiledReady;
    if (compiledReady) {
        const expression::StepInputs inputs = {volts.a, volts.b, volts.c, volts.d};
        if (!compiled.evaluate(inputs, result)) compiledError = true;
        return result;
    }
    expression::VariableTable& variables = evaluator.variables();
    variables.clearAllVariables();
    variables.setVariable("a", volts.a);
    variables.setVariable("b", volts.b);
    variables.setVariable("c", volts.c);
    variables.setVariable("d", volts.d);
    // An erroneous text is not reported: `result` keeps the value the evaluation had reached.
    if (!evaluator.evaluateExpression(functionText, result)) compiledError = false;
    return result;
}

void ExpressionModule::evaluateSamples(const float* const (&samples)[4], int32_t count, float* y) {
    compiledLast = true;
    if (const double* results = compiled.evaluateSamples(samples, kVoltsPerUnit, count)) {
        for (int32_t k = 0; k < count; ++k) y[k] = outputValue(results[k]);
        result = results[count - 1];
        if (!compiled.latestStepCompleted()) compiledError = true;
        return;
    }
    // Some step divides by zero: each goes alone, so each gets its own running value.
    for (int32_t k = 0; k < count; ++k) {
        if (!compiled.evaluateColumn(k, result)) compiledError = true;
        y[k] = outputValue(result);
    }
}

const expression::ErrorRecord& ExpressionModule::lastError() const {
    return compiledError ? compiled.errorRecord() : evaluator.errorRecord();
}

void ExpressionModule::latestVariables(expression::VariableTable& table) {
    if (compiledLast) {
        compiled.reproduceVariables(table);
        return;
    }
    table = evaluator.variables();
}

void ExpressionModule::keepInputs(const InputVolts& volts) {
    lastA = volts.a;
    lastB = volts.b;
    lastC = volts.c;
    lastD = volts.d;
}

}  // namespace expression_module
