// The pins of Kesh Clock, in the order the host sees them.
#pragma once

#include <cstdint>

namespace kesh_clock {

enum class ClockPin : int32_t {
    Freq = 0,     // input stream: frequency, 1 V = 1 Hz (or 1 BPM in BPM mode)
    Reset = 1,    // input stream: a rise at a pin change restarts the cycle with an Impulse
    Cycles = 2,   // input stream: clock cycles from one Impulse to the next, in volts
    Clock = 3,    // output stream: 0.5 (5 V) in the first half of each cycle, else 0
    Impulse = 4,  // output stream: 0.5 (5 V) on one sample every Cycles cycles
    Mode = 5,     // input enumeration: ClockMode
};

inline constexpr int32_t kClockPinCount = 6;

// Values of the Mode pin ("Hz,BPM").
enum class ClockMode : int16_t {
    Hertz = 0,
    BeatsPerMinute = 1,
};

}  // namespace kesh_clock
