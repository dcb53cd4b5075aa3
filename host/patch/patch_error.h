// A fault in a patch, with the place in the patch file where it was found.
#pragma once

#include <stdexcept>
#include <string>

namespace patch {

class PatchError : public std::runtime_error {
  public:
    // where: the place in the patch ("instances.clk.pins.Freq"), or empty for the whole patch.
    PatchError(const std::string& where, const std::string& message)
        : std::runtime_error(where.empty() ? message : where + ": " + message) {}
};

}  // namespace patch
