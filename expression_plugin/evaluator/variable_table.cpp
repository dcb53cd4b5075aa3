#include "expression_plugin/evaluator/variable_table.h"

#include <cstring>

#include "expression_plugin/evaluator/constant_table.h"

namespace expression {

namespace {

bool isFree(const VariableEntry& slot) {
    return slot.name[0] == '\0';
}

}  // namespace

void VariableTable::clearAllVariables() {
    for (VariableEntry& slot : slots_) {
        slot.name[0] = '\0';
        slot.value = 0.0;
    }
}

bool VariableTable::setVariable(const char* name, double value) {
    // The name is removed in the form it is stored in; removing the uncut form of a long name
    // would miss it and leave a stale twin behind.
    char storedName[variableNameSize] = {};
    std::strncpy(storedName, name, variableNameLength);
    clearVariable(storedName);

    for (VariableEntry& slot : slots_) {
        if (isFree(slot)) {
            std::memcpy(slot.name, storedName, sizeof slot.name);
            slot.value = value;
            return true;
        }
    }
    return false;
}

bool VariableTable::clearVariable(const char* name) {
    for (VariableEntry& slot : slots_) {
        if (!isFree(slot) && std::strcmp(slot.name, name) == 0) {
            slot.name[0] = '\0';
            slot.value = 0.0;
            return true;
        }
    }
    return false;
}

bool VariableTable::lookupName(const char* name, double& value) const {
    for (const VariableEntry& slot : slots_) {
        if (!isFree(slot) && std::strcmp(slot.name, name) == 0) {
            value = slot.value;
            return true;
        }
    }
    for (const ConstantEntry* constant = constantTable; constant->name[0] != '\0'; ++constant) {
        if (std::strcmp(constant->name, name) == 0) {
            value = constant->value;
            return true;
        }
    }
    return false;
}

}  // namespace expression
