// The pins of Kesh-Rnd, in the order the host sees them.
#pragma once

#include <cstdint>

namespace kesh_rnd {

enum class RandomPin : int32_t {
    Gate = 0,    // input stream: a rising edge draws a new value
    Level = 1,   // input stream: scales the held value, sample by sample
    Output = 2,  // output stream: held value × Level
    Seed = 3,    // input stream: the seed in volts (stream × 10); 0 selects the clock seed
    Plant = 4,   // input stream: a rising edge re-seeds from Seed
};

inline constexpr int32_t kRandomPinCount = 5;

}  // namespace kesh_rnd
