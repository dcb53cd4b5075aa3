// Dalt-F Quorval: evaluates the expression typed into its Function pin over the four input
// streams a to d, in volts, and writes the value to its output stream Y, per sample ("Sample
// Rate") or once per process call ("Sample Frames"). While no input streams it processes one
// block's worth of samples after each pin change and then asks the host to let it sleep.
#pragma once

#include <cstdint>

#include "expression_plugin/evaluator/compiled_expression.h"
#include "expression_plugin/evaluator/expression_evaluator.h"
#include "expression_plugin/framework/module_base.h"
#include "host_protocol/host_callback.h"
#include "host_protocol/module_properties.h"
#include "host_protocol/pin_properties.h"

namespace expression_module {

// The four inputs in volts (sample × 10), as the evaluation step uses them and the change test
// keeps them.
struct InputVolts {
    float a;
    float b;
    float c;
    float d;
};

class ExpressionModule : public two_export_framework::ModuleBase {
  public:
    // Pin variables start null and the state at rest, so nothing reads garbage before the host
    // has written the pins. The base's empty process function stays installed until open.
    ExpressionModule(host_protocol::HostCallback hostCallback, void* hostData);
    ~ExpressionModule() override = default;

    // Fills name, id and about (static texts) for the export getModuleProperties.
    static bool getProperties(host_protocol::ModuleProperties* props);

    // Who calls: the framework, after the host reported a new status for an input pin. Reports
    // Y Streaming while any of a to d streams, otherwise OneShot, and installs the process
    // function for that case. The changed pin itself is not looked at.
    void pinChanged(two_export_framework::Pin* pin) override;
    // Who calls: dispatcher opcode 0. Forgets the inputs of the last evaluation, empties the
    // variable table, builds the pin table and installs processSamples. Reports no status.
    void open() override;
    // Indices 0 to 6 (ExpressionPin); false for any other, negative ones included.
    bool getPinProperties(int32_t index, host_protocol::PinProperties* props) override;

    // Process functions, called by the host through the record for positions start to
    // start + count - 1 of every pin buffer; a count of 0 or less processes nothing.
    // Every position: change test, evaluation step when the inputs changed, Y.
    void processSamples(int32_t start, int32_t count) noexcept;
    // Change test and evaluation step at position start only; Y gets that value at every
    // position of the call.
    void processFrame(int32_t start, int32_t count) noexcept;
    // processSamples, then counts the samples down to the sleep request, which it repeats at
    // every call once the countdown has run out.
    void processUntilSleep(int32_t start, int32_t count) noexcept;

    // For tests and the project's host, between process calls: the last error an evaluation
    // raised, and the variable table as the latest evaluation left it (as the interpreting
    // evaluator would leave it, whichever way the value was reached).
    const expression::ErrorRecord& lastError() const;
    void latestVariables(expression::VariableTable& table);

  private:
    // The evaluation step proper: the compiled Function text runs with a to d, or, for a text
    // whose program does not fit, the variable table is filled afresh with a to d and the text
    // is interpreted; either way into `result`, which it answers, to the same bits.
    double evaluate(const InputVolts& volts);
    // Before the evaluation steps of a process call: the compiled form of the Function text.
    void prepareEvaluation();
    // The evaluation steps of `count` positions whose samples of a to d start at `samples`,
    // made at once with the compiled text; y[k] gets the output value of step k.
    void evaluateSamples(const float* const (&samples)[4], int32_t count, float* y);

    InputVolts lastInputs() const { return {lastA, lastB, lastC, lastD}; }
    void keepInputs(const InputVolts& volts);

    // Pin variables, written by the host.
    int16_t processMode = 0;
    const float* inA = nullptr;
    const float* inB = nullptr;
    const float* inC = nullptr;
    const float* inD = nullptr;
    float* outY = nullptr;

    int32_t sleepCountdown = 0;  // samples before the sleep request, while processUntilSleep runs
    const char* functionText = nullptr;  // the Function pin's variable: the host's current text
    double result = 0.0;                 // value of the latest evaluation, in volts
    // Inputs in volts that the latest evaluation used; open sets them to a value no input holds.
    float lastA = 0.0f;
    float lastB = 0.0f;
    float lastC = 0.0f;
    float lastD = 0.0f;

    // This instance's own evaluator and variable table: instances never see each other's values.
    expression::ExpressionEvaluator evaluator;
    // The Function text compiled once; texts whose program does not fit go to `evaluator`.
    expression::CompiledExpression compiled;
    bool compiledReady = false;  // the text of the current process call is compiled
    bool compiledLast = false;   // the latest evaluation ran compiled
    bool compiledError = false;  // the latest error was raised by a compiled evaluation
    int32_t leadingInput = 0;    // the input the batch change test tries alone first
};

}  // namespace expression_module
