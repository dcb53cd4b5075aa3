#include "expression_plugin/evaluator/function_table.h"

#include <cmath>
#include <cstring>
#include <string_view>

namespace expression {

// 180 / pi and pi / 180 as doubles: one multiplication each, so deg(pi) is exactly 180 and
// rad(180) exactly pi.
constexpr double degreesPerRadian = 57.29577951308232;
constexpr double radiansPerDegree = 0.017453292519943295;

constexpr FunctionEntry functionTable[functionCount + 1] = {
    {"sin", 1, [](const double* x) { return std::sin(x[0]); }},
    {"cos", 1, [](const double* x) { return std::cos(x[0]); }},
    {"tan", 1, [](const double* x) { return std::tan(x[0]); }},
    {"asin", 1, [](const double* x) { return std::asin(x[0]); }},
    {"acos", 1, [](const double* x) { return std::acos(x[0]); }},
    {"atan", 1, [](const double* x) { return std::atan(x[0]); }},
    {"sinh", 1, [](const double* x) { return std::sinh(x[0]); }},
    {"cosh", 1, [](const double* x) { return std::cosh(x[0]); }},
    {"tanh", 1, [](const double* x) { return std::tanh(x[0]); }},
    {"exp", 1, [](const double* x) { return std::exp(x[0]); }},
    {"log", 1, [](const double* x) { return std::log(x[0]); }},
    {"log10", 1, [](const double* x) { return std::log10(x[0]); }},
    {"sqrt", 1, [](const double* x) { return std::sqrt(x[0]); }},
    {"floor", 1, [](const double* x) { return std::floor(x[0]); }},
    {"ceil", 1, [](const double* x) { return std::ceil(x[0]); }},
    {"abs", 1, [](const double* x) { return std::fabs(x[0]); }},
    {"hypot", 2, [](const double* x) { return std::hypot(x[0], x[1]); }},
    {"deg", 1, [](const double* x) { return x[0] * degreesPerRadian; }},
    {"rad", 1, [](const double* x) { return x[0] * radiansPerDegree; }},
    // Zero of either sign counts as positive; a not-a-number fails the test and gives -1.
    {"sgn", 1, [](const double* x) { return x[0] >= 0.0 ? 1.0 : -1.0; }},
    {"", 0, nullptr},
};
// Every slot before the terminator is filled: the table has exactly twenty functions.
static_assert(std::string_view(functionTable[functionCount - 1].name) == "sgn");
static_assert(functionTable[functionCount].name[0] == '\0');

const FunctionEntry* findFunction(const char* name) {
    for (const FunctionEntry* entry = functionTable; entry->name[0] != '\0'; ++entry) {
        if (std::strcmp(entry->name, name) == 0) {
            return entry;
        }
    }
    return nullptr;
}

}  // namespace expression
