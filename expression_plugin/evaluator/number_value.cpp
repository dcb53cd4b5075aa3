#include <charconv>
#include <limits>
#include <system_error>

#include "expression_plugin/evaluator/operations.h"

namespace expression {

double numberValue(const char* first, const char* last) {
    // The fixed format reads exactly digits[.digits] (either side may be empty, not both) and
    // stops at a second point; no sign, no exponent, no locale.
    double value = 0.0;
    const std::from_chars_result parsed =
        std::from_chars(first, last, value, std::chars_format::fixed);
    if (parsed.ec == std::errc::result_out_of_range) {
        // Only too many integer digits can get here; the standard conversion then gives infinity.
        return std::numeric_limits<double>::infinity();
    }
    if (parsed.ec != std::errc{}) {
        return 0.0;
    }
    return value;
}

}  // namespace expression
