// Runs texts through the interpreting evaluator and the compiled program side by side and
// compares everything an evaluation step leaves, bit for bit: completion, the result (the
// running value after an error included), the error record's code, position and token text,
// and every slot of the variable table. Both keep their state from text to text, so an error
// record that outlives a successful step is compared too.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "expression_generator.h"
#include "expression_plugin/evaluator/compiled_expression.h"
#include "expression_plugin/evaluator/expression_evaluator.h"

namespace expression_testing {

enum class Verdict { Same, DoesNotFit, Differs };

struct CheckResult {
    Verdict verdict;
    std::string difference;  // for Differs: the text, the inputs and what differed
};

class DifferentialCheck {
  public:
    DifferentialCheck();

    // Steps through `steps` with `text`: the first ones one at a time, the rest (when more than
    // one is left) as one batch. Nothing is evaluated when the text does not fit a program.
    CheckResult check(const std::string& text, std::span<const InputSet> steps);

  private:
    bool referenceStep(const std::string& text, const InputSet& inputs, double& result);
    // Empty when the reference's record and table are what the compiled side reproduces.
    std::string compareState();
    std::string compareStep(bool referenceCompleted, double referenceResult, bool compiledCompleted,
                            double compiledResult);

    std::unique_ptr<expression::ExpressionEvaluator> reference_;
    std::unique_ptr<expression::CompiledExpression> compiled_;
    expression::VariableTable reproduced_;
};

// The text with its bytes outside printable ASCII escaped, quoted, and the inputs in hexadecimal
// floating point: enough to replay a difference.
std::string describe(const std::string& text, const InputSet& inputs);

}  // namespace expression_testing
