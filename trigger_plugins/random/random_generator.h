// The arithmetic of the seeded generator: seed conversion, the congruential step and the value
// a state stands for. Inline, since the per-sample loop makes no calls.
#pragma once

#include <bit>
#include <cstdint>

namespace kesh_rnd {

// True for a sample that is less than or greater than zero: a NaN selects no seed.
inline bool isSeedGiven(float seedSample) {
    return seedSample < 0.0f || seedSample > 0.0f;
}

// The state a Seed sample selects: the seed in volts (sample × 10, single precision) truncated
// toward zero to a 64-bit integer, of which the low 32 bits of the two's complement are kept.
// A product that is infinite, NaN or outside the 64-bit range selects 0; it is tested before the
// conversion, which would otherwise be undefined.
inline uint32_t seedStateFromSample(float seedSample) {
    constexpr float kInt64Limit = 0x1p63f;
    const float volts = seedSample * 10.0f;
    if (!(volts >= -kInt64Limit && volts < kInt64Limit)) {
        return 0;
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(volts)));
}

// One step of the linear congruential generator, modulo 2^32.
inline uint32_t nextState(uint32_t state) {
    return state * 1664525u + 1013904223u;
}

// The held value a state stands for: its low 23 bits as the fraction of a float in [1, 2),
// less 1.5, which is exact and lies in [-0.5, 0.5).
inline float heldValueOf(uint32_t state) {
    return std::bit_cast<float>((state & 0x007FFFFFu) | 0x3F800000u) - 1.5f;
}

}  // namespace kesh_rnd
