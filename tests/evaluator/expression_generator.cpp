#include "expression_generator.h"

#include <bit>
#include <cctype>
#include <iterator>
#include <limits>

#include "expression_plugin/evaluator/function_table.h"

namespace expression_testing {

namespace {

const char* const otherNames[] = {
    "x",
    "y",
    "z",
    "pi",
    "e",
    "y1",
    "q",
    "sin",
    "log10",
    "hypot",
    // 17 and 16 characters with the same first 15: both name the same variable
    "abcdefghijklmnopq",
    "abcdefghijklmnoz",
    "abcdefghijklmnopqrstuvwxyz0123456789",
};
const char* const unknownFunctions[] = {"foo", "pow", "ln", "min", "atan2", "abcdefghijklmnopq"};
const char* const numbers[] = {
    "0",
    "1",
    "2",
    "3",
    "10",
    "0.5",
    "2.25",
    ".5",
    "5.",
    ".",
    "..",
    "1.2.3",
    "007",
    "0.1",
    "123456789012345678901234567890123456789",  // longer than the token text
    "0.000000000000000000000000000000000000001",
    "99999999999999999999",
};
const char invalidCharacters[] = {'#', '_', '\n', '\r', '!', '@', '[', ';', '$', '\x80', '\xff'};
const char* const blankRuns[] = {"", "", "", " ", " ", "  ", "\t", " \t "};

constexpr int32_t maximumDepth = 6;
// The evaluation reads 299 characters; past this the generator closes what it has opened.
constexpr size_t enoughText = 240;

}  // namespace

std::string ExpressionGenerator::text() {
    out_.clear();
    if (chance(0.02)) {
        blanks();  // empty or blank texts
    } else if (chance(0.03)) {
        filledTable();
    } else {
        blanks();
        assignment(0);
        blanks();
        if (chance(0.1)) {
            // Text after a complete expression, or a stray operator that no level expects.
            out_ += chance(0.5) ? " 3" : "^2";
        }
    }
    if (chance(0.15)) {
        damage();
    }
    return out_;
}

void ExpressionGenerator::blanks() {
    out_ += blankRuns[below(std::size(blankRuns))];
}

// assignment := name "=" [ additive ] | additive
void ExpressionGenerator::assignment(int32_t depth) {
    if (chance(0.2)) {
        name();
        blanks();
        out_ += '=';
        blanks();
        if (chance(0.1)) {
            return;  // removes the variable
        }
    }
    additive(depth);
}

void ExpressionGenerator::additive(int32_t depth) {
    term(depth);
    for (int32_t n = below(4); n > 0 && out_.size() < enoughText; --n) {
        blanks();
        out_ += chance(0.5) ? '+' : '-';
        blanks();
        term(depth);
    }
}

void ExpressionGenerator::term(int32_t depth) {
    power(depth);
    for (int32_t n = below(3); n > 0 && out_.size() < enoughText; --n) {
        blanks();
        out_ += "*/%"[below(3)];
        blanks();
        power(depth);
    }
}

void ExpressionGenerator::power(int32_t depth) {
    unary(depth);
    for (int32_t n = chance(0.15) ? (chance(0.1) ? 2 : 1) : 0; n > 0; --n) {
        blanks();
        out_ += '^';
        blanks();
        unary(depth);
    }
}

void ExpressionGenerator::unary(int32_t depth) {
    if (chance(0.2)) {
        out_ += chance(0.6) ? '-' : '+';
        if (chance(0.05)) {
            out_ += chance(0.5) ? '-' : '+';  // a second sign in a row
        }
        blanks();
    }
    primary(depth);
}

void ExpressionGenerator::primary(int32_t depth) {
    const bool deeper = depth < maximumDepth && out_.size() < enoughText;
    const int32_t choice = deeper ? below(7) : below(3);
    switch (choice) {
        case 0:
            number();
            return;
        case 1:
        case 2:
            name();
            return;
        case 3:
        case 4:
            call(depth + 1);
            return;
        case 5:
            out_ += '(';
            blanks();
            if (chance(0.03)) {
                out_ += ')';  // empty parentheses
                return;
            }
            assignment(depth + 1);
            blanks();
            if (chance(0.95)) {
                out_ += ')';
            }
            return;
        default:
            // Where an operand is expected: a delimiter other than "(", or the end.
            if (chance(0.1)) {
                out_ += ",)*="[below(4)];
                return;
            }
            number();
            return;
    }
}

void ExpressionGenerator::call(int32_t depth) {
    int32_t arguments = 1;
    if (chance(0.1)) {
        out_ += unknownFunctions[below(std::size(unknownFunctions))];
    } else {
        const expression::FunctionEntry& entry =
            expression::functionTable[below(expression::functionCount)];
        out_ += entry.name;
        arguments = entry.argumentCount;
    }
    if (chance(0.15)) {
        arguments = below(6);  // wrong counts, empty lists and more than four
    }
    blanks();
    out_ += '(';
    for (int32_t n = 0; n < arguments; ++n) {
        if (n > 0) {
            out_ += ',';
            blanks();
        }
        if (chance(0.03)) {
            continue;  // a missing argument
        }
        assignment(depth);
    }
    if (chance(0.95)) {
        out_ += ')';
    }
}

void ExpressionGenerator::number() {
    out_ += numbers[below(std::size(numbers))];
}

void ExpressionGenerator::name() {
    if (chance(0.6)) {
        out_ += static_cast<char>('a' + below(4));
    } else {
        out_ += otherNames[below(std::size(otherNames))];
    }
}

// Nested assignments to up to 50 further names: an evaluation can store 46 besides a to d.
void ExpressionGenerator::filledTable() {
    const int32_t count = 40 + below(12);
    for (int32_t n = 0; n < count; ++n) {
        out_ += '(';
        out_ += static_cast<char>('a' + n / 26);
        out_ += static_cast<char>('a' + n % 26);
        out_ += '=';
        if (chance(0.05)) {
            out_ += "pi=";  // hides the constant, or ends the text with a removal
        }
    }
    additive(maximumDepth - 1);
    for (int32_t n = 0; n < count; ++n) {
        out_ += ')';
    }
}

void ExpressionGenerator::damage() {
    const auto position = [this]() { return static_cast<size_t>(below(out_.size() + 1)); };
    switch (below(5)) {
        case 0:
            out_.insert(position(), 1, invalidCharacters[below(std::size(invalidCharacters))]);
            break;
        case 1:
            if (!out_.empty()) out_.erase(position() % out_.size(), 1);
            break;
        case 2:
            out_.resize(position());
            break;
        case 3:
            for (char& c : out_) {
                if (chance(0.3)) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            break;
        default:
            // Long texts: the evaluation reads the first 299 characters only.
            while (out_.size() < 320) out_ += " + a";
            break;
    }
}

InputSet ExpressionGenerator::inputs() {
    InputSet set{};
    for (double& value : set.values) {
        value = inputValue();
    }
    return set;
}

double ExpressionGenerator::inputValue() {
    static const double edges[] = {
        0.0,
        -0.0,
        1.0,
        -1.0,
        0.5,
        2.0,
        -3.0,
        10.0,
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::denorm_min(),
        -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::min(),
        std::numeric_limits<double>::max(),
        -std::numeric_limits<double>::max(),
        static_cast<double>(std::numeric_limits<float>::denorm_min()),
        static_cast<double>(-99.9f),
    };
    switch (below(4)) {
        case 0:
        case 1:
            return edges[below(std::size(edges))];
        case 2:
            // Any bits: every kind of double, not-a-numbers with payloads included.
            return std::bit_cast<double>(random_());
        default:
            // Ten times a float sample, as the module passes its inputs.
            return static_cast<double>(static_cast<float>(
                std::uniform_real_distribution<double>(-2.0, 2.0)(random_) * 10.0));
    }
}

}  // namespace expression_testing
