// Cost per sample of the three modules, through their real exports as the host runs them
// (blocks of 256 samples at 44.1 kHz, every input streaming with values that change at every
// sample), side by side with what the same work costs elsewhere:
//   <case>/native     each expression written out in C++ in double precision over the same
//                     buffers, with the module's ×10 and ×0.1 scaling; for the trigger modules a
//                     loop that copies one buffer to another
//   <case>/muparser   the expression parsed once by muparser, evaluated per sample
//   <case>/reference  the interpreting evaluator with the module's table upkeep per sample
//   <case>/module     the plug-in as shipped
// Each benchmark iteration is one block; the counter time_per_sample divides by its 256 samples.
#include <benchmark/benchmark.h>
#include <muParser.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "expression_plugin/evaluator/expression_evaluator.h"
#include "host/single_export_host.h"
#include "host/two_export_host.h"
#include "host_protocol/pin_properties.h"

namespace {

using host_protocol::PinStatus;

constexpr int32_t blockLength = 256;
constexpr float sampleRate = 44100.0f;
constexpr float voltsPerUnit = 10.0f;
constexpr float unitsPerVolt = 0.1f;
constexpr double pi = 3.141592653589793;

// Expression module pins: Function, Process, a, b, c, d, Y.
constexpr int32_t functionPin = 0;
constexpr int32_t firstInputPin = 2;
constexpr int32_t outputPin = 6;
// Kesh-Rnd pins: Gate, Level, Output, Seed, Plant. Kesh Clock pins: Freq, Reset, Cycles, Clock,
// Impulse, Mode.
constexpr int32_t gatePin = 0;
constexpr int32_t levelPin = 1;
constexpr int32_t randomOutputPin = 2;
constexpr int32_t frequencyPin = 0;
constexpr int32_t clockOutputPin = 3;

void reportPerSample(benchmark::State& state) {
    state.counters["time_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * blockLength,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Four input streams that differ at every sample and never step to ten times their previous
// value, so the module evaluates every sample.
struct InputBlocks {
    std::vector<float> inputs[4];
    std::vector<float> output = std::vector<float>(blockLength);

    InputBlocks() {
        std::mt19937 random(20240611);
        std::uniform_real_distribution<float> values(-1.0f, 1.0f);
        for (std::vector<float>& input : inputs) {
            input.resize(blockLength);
            for (float& sample : input) sample = values(random);
        }
    }
};

const InputBlocks& inputBlocks() {
    static const InputBlocks blocks;
    return blocks;
}

// ---- Expressions ------------------------------------------------------------------------------

// Volts (sample × 10 in single precision, widened) to the output sample, as the module does.
struct Volts {
    double a, b, c, d;
};

template <class Expression>
void nativeBlock(benchmark::State& state, Expression expression) {
    const InputBlocks& blocks = inputBlocks();
    const float* const a = blocks.inputs[0].data();
    const float* const b = blocks.inputs[1].data();
    const float* const c = blocks.inputs[2].data();
    const float* const d = blocks.inputs[3].data();
    std::vector<float> y(blockLength);
    for (auto _ : state) {
        for (int32_t i = 0; i < blockLength; ++i) {
            const Volts v{a[i] * voltsPerUnit, b[i] * voltsPerUnit, c[i] * voltsPerUnit,
                          d[i] * voltsPerUnit};
            y[i] = static_cast<float>(expression(v) * static_cast<double>(unitsPerVolt));
        }
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    reportPerSample(state);
}

double nativeSum(const Volts& v) {
    return v.a + v.b + v.c + v.d;
}

struct ExpressionCase {
    const char* name;
    const char* text;
    void (*native)(benchmark::State&);
};

const ExpressionCase expressionCases[] = {
    {"E0", "y = a + b + c + d", [](benchmark::State& s) { nativeBlock(s, nativeSum); }},
    {"E1", "a + b + c + d", [](benchmark::State& s) { nativeBlock(s, nativeSum); }},
    {"E2", "sin(a * pi) * b",
     [](benchmark::State& s) {
         nativeBlock(s, [](const Volts& v) { return std::sin(v.a * pi) * v.b; });
     }},
    {"E3", "hypot(a, b) / (abs(c) + 1) + floor(d * 3) % 2",
     [](benchmark::State& s) {
         nativeBlock(s, [](const Volts& v) {
             return std::hypot(v.a, v.b) / (std::fabs(v.c) + 1) + std::fmod(std::floor(v.d * 3), 2);
         });
     }},
    {"E4", "sqrt(abs(a*b)) + exp(-c*c) - log10(abs(d)+1)",
     [](benchmark::State& s) {
         nativeBlock(s, [](const Volts& v) {
             return std::sqrt(std::fabs(v.a * v.b)) + std::exp(-v.c * v.c) -
                    std::log10(std::fabs(v.d) + 1);
         });
     }},
};

double muFloor(double x) {
    return std::floor(x);
}
double muHypot(double x, double y) {
    return std::hypot(x, y);
}
double muModulo(double x, double y) {
    return std::fmod(x, y);
}

void muparserBlock(benchmark::State& state, const char* text) {
    const InputBlocks& blocks = inputBlocks();
    double volts[4] = {};
    double assigned = 0.0;
    mu::Parser parser;
    try {
        parser.DefineVar("a", &volts[0]);
        parser.DefineVar("b", &volts[1]);
        parser.DefineVar("c", &volts[2]);
        parser.DefineVar("d", &volts[3]);
        parser.DefineVar("y", &assigned);
        parser.DefineConst("pi", pi);
        parser.DefineFun("floor", muFloor);
        parser.DefineFun("hypot", muHypot);
        parser.DefineOprt("%", muModulo, mu::prMUL_DIV, mu::oaLEFT);
        parser.SetExpr(text);
        parser.Eval();
    } catch (const mu::Parser::exception_type& error) {
        state.SkipWithError(error.GetMsg().c_str());
        return;
    }
    std::vector<float> y(blockLength);
    for (auto _ : state) {
        for (int32_t i = 0; i < blockLength; ++i) {
            for (int32_t input = 0; input < 4; ++input) {
                volts[input] = blocks.inputs[input][i] * voltsPerUnit;
            }
            y[i] = static_cast<float>(parser.Eval() * static_cast<double>(unitsPerVolt));
        }
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    reportPerSample(state);
}

// The module's evaluation step without the compiled form: the table emptied and filled, and
// the text interpreted, at every sample.
void referenceBlock(benchmark::State& state, const char* text) {
    const InputBlocks& blocks = inputBlocks();
    const auto evaluator = std::make_unique<expression::ExpressionEvaluator>();
    const char* const names[4] = {"a", "b", "c", "d"};
    std::vector<float> y(blockLength);
    double result = 0.0;
    for (auto _ : state) {
        for (int32_t i = 0; i < blockLength; ++i) {
            expression::VariableTable& table = evaluator->variables();
            table.clearAllVariables();
            for (int32_t input = 0; input < 4; ++input) {
                table.setVariable(names[input], blocks.inputs[input][i] * voltsPerUnit);
            }
            evaluator->evaluateExpression(text, result);
            y[i] = static_cast<float>(result * static_cast<double>(unitsPerVolt));
        }
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    reportPerSample(state);
}

const host::TwoExportPlugin& daltQuorval() {
    static const host::TwoExportPlugin plugin(DALT_QUORVAL_PATH);
    return plugin;
}

// The plug-in as a host runs it: "Sample Rate", every input streaming.
void moduleBlock(benchmark::State& state, const char* text) {
    const InputBlocks& blocks = inputBlocks();
    const auto instance =
        daltQuorval().create(host::InstanceOptions{.bufferCapacity = blockLength});
    instance->setSampleRate(sampleRate);
    instance->setBlockSize(blockLength);
    instance->open();
    instance->writeText(functionPin, text);
    for (int32_t input = 0; input < 4; ++input) {
        const std::span<float> buffer = instance->buffer(firstInputPin + input);
        std::copy(blocks.inputs[input].begin(), blocks.inputs[input].end(), buffer.begin());
        instance->sendStatus(firstInputPin + input, PinStatus::Streaming);
    }
    for (auto _ : state) {
        instance->process(0, blockLength);
        benchmark::DoNotOptimize(instance->buffer(outputPin).data());
    }
    reportPerSample(state);
}

// ---- Trigger modules --------------------------------------------------------------------------

// What the trigger modules are measured against: one buffer copied to another.
void copyBlock(benchmark::State& state) {
    const std::vector<float>& from = inputBlocks().inputs[0];
    std::vector<float> to(blockLength);
    for (auto _ : state) {
        for (int32_t i = 0; i < blockLength; ++i) to[i] = from[i];
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    reportPerSample(state);
}

std::unique_ptr<host::SingleExportInstance> openTriggerModule(
    const host::SingleExportPlugin& plugin) {
    auto instance = plugin.create(host::InstanceOptions{.bufferCapacity = blockLength});
    instance->setSampleRate(sampleRate);
    instance->setBlockSize(blockLength);
    instance->open();
    return instance;
}

void runTriggerModule(benchmark::State& state, host::SingleExportInstance& instance,
                      int32_t outputPinIndex) {
    // The queued status events are handled in the first block.
    instance.process(0, blockLength);
    for (auto _ : state) {
        instance.process(0, blockLength);
        benchmark::DoNotOptimize(instance.buffer(outputPinIndex).data());
    }
    reportPerSample(state);
}

// Gate a 1 kHz square wave (0 V / 5 V), Level streaming.
void randomModuleBlock(benchmark::State& state) {
    static const host::SingleExportPlugin plugin(KESH_RND_PATH);
    const auto instance = openTriggerModule(plugin);
    const std::span<float> gate = instance->buffer(gatePin);
    const std::span<float> level = instance->buffer(levelPin);
    const double samplesPerCycle = sampleRate / 1000.0;
    for (int32_t i = 0; i < blockLength; ++i) {
        gate[i] = std::fmod(i, samplesPerCycle) < samplesPerCycle / 2 ? 0.5f : 0.0f;
        level[i] = 0.5f + 0.4f * inputBlocks().inputs[0][i];
    }
    instance->sendStatus(gatePin, PinStatus::Streaming);
    instance->sendStatus(levelPin, PinStatus::Streaming);
    runTriggerModule(state, *instance, randomOutputPin);
}

// Freq streaming at 2 Hz (0.2, that is 2 V).
void clockModuleBlock(benchmark::State& state) {
    static const host::SingleExportPlugin plugin(KESH_CLOCK_PATH);
    const auto instance = openTriggerModule(plugin);
    instance->fill(frequencyPin, 0.2f);
    instance->sendStatus(frequencyPin, PinStatus::Streaming);
    runTriggerModule(state, *instance, clockOutputPin);
}

void registerBenchmarks() {
    for (const ExpressionCase& c : expressionCases) {
        const std::string name = c.name;
        const char* const text = c.text;
        benchmark::RegisterBenchmark((name + "/native").c_str(), c.native);
        benchmark::RegisterBenchmark((name + "/muparser").c_str(),
                                     [text](benchmark::State& s) { muparserBlock(s, text); });
        benchmark::RegisterBenchmark((name + "/reference").c_str(),
                                     [text](benchmark::State& s) { referenceBlock(s, text); });
        benchmark::RegisterBenchmark((name + "/module").c_str(),
                                     [text](benchmark::State& s) { moduleBlock(s, text); });
    }
    benchmark::RegisterBenchmark("Kesh-Rnd/native", copyBlock);
    benchmark::RegisterBenchmark("Kesh-Rnd/module", randomModuleBlock);
    benchmark::RegisterBenchmark("Kesh Clock/native", copyBlock);
    benchmark::RegisterBenchmark("Kesh Clock/module", clockModuleBlock);
}

}  // namespace

int main(int argc, char** argv) {
    registerBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
