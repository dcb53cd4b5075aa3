// The variable table: named double values that the expression module fills with its inputs and
// that assignments in an expression extend. Fixed storage, linear scans, no allocation.
#pragma once

#include <array>
#include <cstdint>

namespace expression {

// A name holds at most 15 characters; the sixteenth byte is always zero.
inline constexpr int32_t variableNameSize = 16;
inline constexpr int32_t variableNameLength = variableNameSize - 1;
inline constexpr int32_t variableSlotCount = 50;

// One slot of the table. A name whose first byte is zero marks a free slot.
struct VariableEntry {
    char name[variableNameSize];
    double value;
};

class VariableTable {
  public:
    using Slots = std::array<VariableEntry, variableSlotCount>;

    // Frees every slot: the first byte of each name and the whole value become zero.
    void clearAllVariables();

    // Stores `value` under `name` (zero-terminated, not null), cut to its first 15 characters.
    // Any variable of that name is removed first, so the name then sits in the lowest free slot,
    // and replacing an existing name succeeds even in a full table. False when no slot is free;
    // nothing but the removal has then happened.
    bool setVariable(const char* name, double value);

    // Removes the variable named exactly `name`. False when there was none.
    bool clearVariable(const char* name);

    // Variables first, then the constants: a variable hides a constant of the same name.
    // True with `value` set when found; false (and `value` untouched) otherwise.
    bool lookupName(const char* name, double& value) const;

    const Slots& slots() const { return slots_; }

  private:
    Slots slots_{};
};

}  // namespace expression
