#include "trigger_plugins/random/time_seed.h"

#include <chrono>

namespace kesh_rnd {

namespace {

// Read while the library's run-time support is initialised, that is when the host loads it.
const std::chrono::steady_clock::time_point libraryLoadTime = std::chrono::steady_clock::now();

}  // namespace

uint32_t millisecondsSinceLoad() {
    const auto elapsed = std::chrono::steady_clock::now() - libraryLoadTime;
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed);
    return static_cast<uint32_t>(static_cast<uint64_t>(milliseconds.count()));
}

}  // namespace kesh_rnd
