#include "expression_plugin/evaluator/program_compiler.h"

#include <bit>
#include <climits>
#include <cstring>

#include "expression_plugin/evaluator/constant_table.h"
#include "expression_plugin/evaluator/operations.h"

namespace expression {

namespace {

constexpr int32_t notUsed = -1;
constexpr int32_t usedToTheEnd = INT_MAX;
constexpr int walkFinished = 1;
constexpr int walkOutOfRoom = 2;

bool hasTarget(ProgramOpcode opcode) {
    return opcode != ProgramOpcode::CheckDivisor && opcode != ProgramOpcode::Finish;
}

bool readsRight(ProgramOpcode opcode) {
    return opcode < ProgramOpcode::Negate || opcode == ProgramOpcode::Call;
}

// The same operation the evaluator applies, for folding two constants.
double fold(ProgramOpcode opcode, double left, double right) {
    switch (opcode) {
        case ProgramOpcode::Add:
            return add(left, right);
        case ProgramOpcode::Subtract:
            return subtract(left, right);
        case ProgramOpcode::Multiply:
            return multiply(left, right);
        case ProgramOpcode::Divide:
            return divide(left, right);
        case ProgramOpcode::Modulo:
            return modulo(left, right);
        case ProgramOpcode::Power:
            return power(left, right);
        default:
            return negate(left);
    }
}

// The functions whose table entry is exactly one standard operation on its argument.
CallKernel callKernel(const char* name) {
    if (std::strcmp(name, "abs") == 0) return CallKernel::Absolute;
    if (std::strcmp(name, "sqrt") == 0) return CallKernel::SquareRoot;
    return CallKernel::TableEntry;
}

}  // namespace

// --- Entry and the two ways out of a walk ----------------------------------------------------

bool ProgramCompiler::compile(const char* text, ExpressionProgram& program) {
    scanner_.start(text);
    valueCount_ = 0;
    instructionCount_ = 0;
    exitCount_ = 0;
    eventCount_ = 0;

    // As the module prepares the table before each evaluation: a to d in slots 0 to 3.
    table_.clearAllVariables();
    const char* const inputNames[programInputCount] = {"a", "b", "c", "d"};
    for (const char* name : inputNames) {
        table_.setVariable(name, newValue(ValueKind::Input, 0.0));
    }
    zero_ = constant(0.0);
    result_ = zero_;

    // Leaving with longjmp is sound: no frame of the walk owns anything with a destructor.
    switch (setjmp(walkEnd_)) {
        case 0:
            break;
        case walkFinished:
            return assemble(program);
        default:
            return false;
    }
    compileText();
    finish(EvalErrorCode::None);
}

void ProgramCompiler::finish(EvalErrorCode code) {
    const int16_t exit = addExit(code);
    emit(ProgramOpcode::Finish, zero_, zero_);
    instructions_[instructionCount_ - 1].exit = exit;
    std::longjmp(walkEnd_, walkFinished);
}

void ProgramCompiler::doesNotFit() {
    std::longjmp(walkEnd_, walkOutOfRoom);
}

// --- Scanner ---------------------------------------------------------------------------------

void ProgramCompiler::getToken() {
    if (!scanner_.next()) {
        raiseError(EvalErrorCode::SyntaxError);
    }
}

// --- Grammar levels --------------------------------------------------------------------------
// Each level mirrors the evaluator's level of the same name. A location holds the value number
// that the evaluator's result location would hold at that point; temporaries start at zero as
// the evaluator's do.

// text := assignment, with at least one token
void ProgramCompiler::compileText() {
    getToken();
    if (scanner_.type() == TokenType::End) {
        raiseError(EvalErrorCode::EmptyExpression);
    }
    evalAssignment(result_);
}

// assignment := name "=" [ additive ] | additive
void ProgramCompiler::evalAssignment(Value& location) {
    if (scanner_.type() != TokenType::Name || scanner_.lookAhead() != '=') {
        evalAdditive(location);
        return;
    }
    char name[variableNameSize];
    std::memcpy(name, scanner_.tokenText(), sizeof name);
    getToken();  // the "="
    getToken();
    if (scanner_.type() == TokenType::End) {
        table_.clearVariable(name);
        addEvent(false, name, zero_);
        return;
    }
    evalAdditive(location);
    if (!table_.setVariable(name, location)) {
        raiseError(EvalErrorCode::MaximumVariablesExceeded);
    }
    addEvent(true, name, location);
}

// additive := term { ( "+" | "-" ) term }
void ProgramCompiler::evalAdditive(Value& location) {
    evalTerm(location);
    for (;;) {
        const bool adding = scanner_.atDelimiter('+');
        if (!adding && !scanner_.atDelimiter('-')) {
            return;
        }
        getToken();
        Value operand = zero_;
        evalTerm(operand);
        location = binary(adding ? ProgramOpcode::Add : ProgramOpcode::Subtract, location, operand);
    }
}

// term := power { ( "*" | "/" | "%" ) power }
void ProgramCompiler::evalTerm(Value& location) {
    evalPower(location);
    for (;;) {
        const char op = scanner_.tokenText()[0];
        if (!scanner_.atDelimiter('*') && !scanner_.atDelimiter('/') &&
            !scanner_.atDelimiter('%')) {
            return;
        }
        getToken();
        Value operand = zero_;
        evalPower(operand);
        if (op == '*') {
            location = binary(ProgramOpcode::Multiply, location, operand);
            continue;
        }
        checkDivisor(operand);
        location =
            binary(op == '/' ? ProgramOpcode::Divide : ProgramOpcode::Modulo, location, operand);
    }
}

// power := unary [ "^" unary ]
void ProgramCompiler::evalPower(Value& location) {
    evalUnary(location);
    if (!scanner_.atDelimiter('^')) {
        return;
    }
    getToken();
    Value exponent = zero_;
    evalUnary(exponent);
    location = binary(ProgramOpcode::Power, location, exponent);
}

// unary := [ "+" | "-" ] primary
void ProgramCompiler::evalUnary(Value& location) {
    const bool negative = scanner_.atDelimiter('-');
    if (negative || scanner_.atDelimiter('+')) {
        getToken();
    }
    evalPrimary(location);
    if (negative) {
        location = isConstant(location) ? constant(negate(constantOf(location)))
                                        : emit(ProgramOpcode::Negate, location, location);
    }
}

// primary := "(" assignment ")" | number | name "(" arguments | name
void ProgramCompiler::evalPrimary(Value& location) {
    if (scanner_.atDelimiter('(')) {
        getToken();
        if (scanner_.atDelimiter(')')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
        evalAssignment(location);
        if (!scanner_.atDelimiter(')')) {
            raiseError(EvalErrorCode::UnbalancedParenthesis);
        }
        getToken();
        return;
    }
    if (scanner_.type() == TokenType::Number) {
        location = constant(numberValue(scanner_.runBegin(), scanner_.runEnd()));
        getToken();
        return;
    }
    if (scanner_.type() == TokenType::Name) {
        if (scanner_.lookAhead() == '(') {
            evalFunctionCall(location);
            return;
        }
        Value value = zero_;
        if (!findName(scanner_.tokenText(), value)) {
            raiseError(EvalErrorCode::UnknownVariable);
        }
        location = value;
        getToken();
        return;
    }
    raiseError(EvalErrorCode::SyntaxError);
}

// call := name "(" assignment { "," assignment } ")"
void ProgramCompiler::evalFunctionCall(Value& location) {
    const FunctionEntry* entry = findFunction(scanner_.tokenText());
    if (entry == nullptr) {
        raiseError(EvalErrorCode::UnrecognisedFunction);
    }
    getToken();  // the "("
    getToken();
    if (scanner_.atDelimiter(')')) {
        raiseError(EvalErrorCode::MissingArgument);
    }
    Value arguments[maximumArguments] = {zero_, zero_, zero_, zero_};
    int32_t count = 0;
    for (;;) {
        if (scanner_.atDelimiter(',')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
        evalAssignment(arguments[count]);
        ++count;
        if (count == maximumArguments || !scanner_.atDelimiter(',')) {
            break;
        }
        getToken();
        if (scanner_.atDelimiter(')')) {
            raiseError(EvalErrorCode::MissingArgument);
        }
    }
    getToken();
    if (count != entry->argumentCount) {
        scanner_.setTokenText(entry->name);
        raiseError(EvalErrorCode::WrongNumberOfArguments);
    }
    const Value right = count == 2 ? arguments[1] : arguments[0];
    if (isConstant(arguments[0]) && isConstant(right)) {
        const double values[maximumArguments] = {constantOf(arguments[0]), constantOf(right), 0.0,
                                                 0.0};
        location = constant(entry->function(values));
        return;
    }
    location = emit(ProgramOpcode::Call, arguments[0], right, entry->function);
    instructions_[instructionCount_ - 1].kernel = callKernel(entry->name);
}

// --- Values, instructions, exits and table events --------------------------------------------

ProgramCompiler::Value ProgramCompiler::newValue(ValueKind kind, double constantValue) {
    if (valueCount_ == valueCapacity) {
        doesNotFit();
    }
    values_[valueCount_] = {kind, constantValue};
    return static_cast<Value>(valueCount_++);
}

ProgramCompiler::Value ProgramCompiler::emit(ProgramOpcode opcode, Value left, Value right,
                                             MathFunction function) {
    if (instructionCount_ == programInstructionCapacity) {
        doesNotFit();
    }
    const Value target = hasTarget(opcode) ? newValue(ValueKind::Computed, 0.0) : zero_;
    instructions_[instructionCount_++] = {
        opcode, target, left, right, -1, function, CallKernel::TableEntry};
    return target;
}

// Two constants fold into one: the same operation on the same values gives the same bits now
// as it would at every evaluation.
ProgramCompiler::Value ProgramCompiler::binary(ProgramOpcode opcode, Value left, Value right) {
    if (isConstant(left) && isConstant(right)) {
        return constant(fold(opcode, constantOf(left), constantOf(right)));
    }
    return emit(opcode, left, right);
}

// A constant divisor decides now; any other is tested at every evaluation, and a zero ends the
// evaluation with the error the evaluator raises at this point.
void ProgramCompiler::checkDivisor(Value divisor) {
    if (isConstant(divisor)) {
        if (isZeroDivisor(constantOf(divisor))) {
            raiseError(EvalErrorCode::DivisionByZero);
        }
        return;
    }
    const int16_t exit = addExit(EvalErrorCode::DivisionByZero);
    emit(ProgramOpcode::CheckDivisor, divisor, divisor);
    instructions_[instructionCount_ - 1].exit = exit;
}

int16_t ProgramCompiler::addExit(EvalErrorCode code) {
    if (exitCount_ == programExitCapacity) {
        doesNotFit();
    }
    Exit& exit = exits_[exitCount_];
    exit.record = {};
    if (code != EvalErrorCode::None) {
        exit.record.code = code;
        exit.record.position = scanner_.lastConsumed();
        std::memcpy(exit.record.tokenText, scanner_.tokenText(), sizeof exit.record.tokenText);
    }
    exit.result = result_;
    exit.tableEventCount = static_cast<int16_t>(eventCount_);
    return static_cast<int16_t>(exitCount_++);
}

void ProgramCompiler::addEvent(bool store, const char* name, Value value) {
    if (eventCount_ == programTableEventCapacity) {
        doesNotFit();
    }
    Event& event = events_[eventCount_++];
    event.store = store;
    event.value = value;
    std::memcpy(event.name, name, sizeof event.name);
}

// Variables first, then the constants, as lookupName searches.
bool ProgramCompiler::findName(const char* name, Value& value) {
    for (const VariableEntry& slot : table_.slots()) {
        if (slot.name[0] != '\0' && std::strcmp(slot.name, name) == 0) {
            value = static_cast<Value>(slot.value);
            return true;
        }
    }
    for (const ConstantEntry* entry = constantTable; entry->name[0] != '\0'; ++entry) {
        if (std::strcmp(entry->name, name) == 0) {
            value = constant(entry->value);
            return true;
        }
    }
    return false;
}

// --- From values to registers ----------------------------------------------------------------

int32_t ProgramCompiler::readsOf(const Instruction& instruction, Value (&reads)[3]) const {
    int32_t count = 0;
    if (instruction.opcode != ProgramOpcode::Finish) {
        reads[count++] = instruction.left;
    }
    if (readsRight(instruction.opcode)) {
        reads[count++] = instruction.right;
    }
    if (!hasTarget(instruction.opcode)) {
        reads[count++] = exits_[instruction.exit].result;
    }
    return count;
}

bool ProgramCompiler::assemble(ExpressionProgram& program) {
    // Backwards: an instruction is needed when it can end the evaluation or its value is read
    // by a needed instruction, by an exit or by a stored variable. lastUse_ ends up holding the
    // index of each value's last reader.
    for (int32_t v = 0; v < valueCount_; ++v) {
        lastUse_[v] = notUsed;
    }
    for (int32_t e = 0; e < eventCount_; ++e) {
        if (events_[e].store) {
            lastUse_[events_[e].value] = usedToTheEnd;
        }
    }
    bool needed[programInstructionCapacity];
    for (int32_t i = instructionCount_ - 1; i >= 0; --i) {
        const Instruction& instruction = instructions_[i];
        needed[i] = !hasTarget(instruction.opcode) || lastUse_[instruction.target] != notUsed;
        if (!needed[i]) {
            continue;
        }
        Value reads[3];
        const int32_t readCount = readsOf(instruction, reads);
        for (int32_t r = 0; r < readCount; ++r) {
            if (lastUse_[reads[r]] == notUsed) {
                lastUse_[reads[r]] = i;
            }
        }
    }
    if (!allocateRegisters(program)) {
        return false;
    }

    int32_t count = 0;
    for (int32_t i = 0; i < instructionCount_; ++i) {
        if (!needed[i]) {
            continue;
        }
        const Instruction& from = instructions_[i];
        program.instructions[count++] = {from.opcode,
                                         static_cast<uint8_t>(register_[from.target]),
                                         static_cast<uint8_t>(register_[from.left]),
                                         static_cast<uint8_t>(register_[from.right]),
                                         from.kernel,
                                         from.exit,
                                         from.function};
    }
    program.instructionCount = count;
    for (int32_t e = 0; e < exitCount_; ++e) {
        program.exits[e] = {exits_[e].record, static_cast<uint8_t>(register_[exits_[e].result]),
                            exits_[e].tableEventCount};
    }
    program.exitCount = exitCount_;
    for (int32_t e = 0; e < eventCount_; ++e) {
        TableEvent& event = program.tableEvents[e];
        event.store = events_[e].store;
        event.valueRegister = static_cast<uint8_t>(register_[events_[e].value]);
        std::memcpy(event.name, events_[e].name, sizeof event.name);
    }
    program.tableEventCount = eventCount_;
    return true;
}

// Inputs keep registers 0 to 3, each distinct constant (by its bits) gets a register of its
// own, and computed values share the rest: a register is free again after its value's last
// reader.
bool ProgramCompiler::allocateRegisters(ExpressionProgram& program) {
    uint64_t freeRegisters = ~uint64_t{0} << programInputCount;
    program.constantCount = 0;
    for (int32_t v = 0; v < valueCount_; ++v) {
        register_[v] = 0;
        if (values_[v].kind == ValueKind::Input) {
            register_[v] = static_cast<int16_t>(v);
        }
        if (values_[v].kind != ValueKind::Constant || lastUse_[v] == notUsed) {
            continue;
        }
        const uint64_t bits = std::bit_cast<uint64_t>(values_[v].constant);
        int32_t c = 0;
        while (c < program.constantCount &&
               std::bit_cast<uint64_t>(program.constants[c].value) != bits) {
            ++c;
        }
        if (c == program.constantCount) {
            if (c == programConstantCapacity || freeRegisters == 0) {
                return false;
            }
            const auto reg = static_cast<uint8_t>(std::countr_zero(freeRegisters));
            freeRegisters &= ~(uint64_t{1} << reg);
            program.constants[program.constantCount++] = {reg, values_[v].constant};
        }
        register_[v] = program.constants[c].reg;
    }

    for (int32_t i = 0; i < instructionCount_; ++i) {
        const Instruction& instruction = instructions_[i];
        // The target never shares a register with an operand of its own instruction, so the
        // batch loops see disjoint arrays and run as vector code.
        if (hasTarget(instruction.opcode) && lastUse_[instruction.target] != notUsed) {
            if (freeRegisters == 0) {
                return false;
            }
            const int32_t reg = std::countr_zero(freeRegisters);
            freeRegisters &= ~(uint64_t{1} << reg);
            register_[instruction.target] = static_cast<int16_t>(reg);
        }
        Value reads[3];
        const int32_t readCount = readsOf(instruction, reads);
        for (int32_t r = 0; r < readCount; ++r) {
            if (values_[reads[r]].kind == ValueKind::Computed && lastUse_[reads[r]] == i) {
                // Freed once, however often the instruction reads the value.
                freeRegisters |= uint64_t{1} << register_[reads[r]];
            }
        }
    }

    int32_t used = programInputCount;
    for (int32_t v = 0; v < valueCount_; ++v) {
        if (lastUse_[v] != notUsed && register_[v] + 1 > used) {
            used = register_[v] + 1;
        }
    }
    program.registerCount = used;
    return true;
}

}  // namespace expression
