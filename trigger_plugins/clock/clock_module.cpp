#include "trigger_plugins/clock/clock_module.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

#include "host_protocol/pin_properties.h"
#include "trigger_plugins/clock/clock_pins.h"

namespace kesh_clock {

using host_protocol::HostOpcode;
using host_protocol::PinDataType;
using host_protocol::PinDirection;
using host_protocol::PinStatus;

// A Freq of 0 relies on the IEEE division by zero: an infinite period that never completes.
static_assert(std::numeric_limits<double>::is_iec559 && std::numeric_limits<float>::is_iec559);

namespace {

constexpr float kLargestFloat = std::numeric_limits<float>::max();
constexpr float kHigh = 0.5f;  // 5 V
constexpr float kLow = 0.0f;

constexpr const char* kName = "Clock";
constexpr const char* kId = "Kesh Clock";
constexpr const char* kAbout =
    "Clock v1.2\n"
    "Made for the Dalt/Kesh module set\n"
    "Contact: the Dalt/Kesh project's issue tracker\n"
    "\n"
    "Quick Help:\n"
    "Freq - Frequency of the clock cycle\n"
    "Reset - Resets clock cycle and sends 'Impulse'\n"
    "Cycles - Number of clock cycles between an 'Impulse'\n"
    "Clock - Connect to clock input on a sequencer (0V/5V)\n"
    "Impulse - Single-sample 5V impulse every 'Cycles' cycles";

struct PinDescription {
    const char* name;
    PinDirection direction;
    PinDataType dataType;
    const char* defaultValue;
    const char* listText;
};

// Stream defaults are in volts, as the host shows them: Cycles "16" is the stream value 1.6.
constexpr std::array<PinDescription, kClockPinCount> kPins = {{
    {"Freq", PinDirection::Input, PinDataType::Stream, "0", nullptr},
    {"Reset", PinDirection::Input, PinDataType::Stream, "0", nullptr},
    {"Cycles", PinDirection::Input, PinDataType::Stream, "16", nullptr},
    {"Clock", PinDirection::Output, PinDataType::Stream, nullptr, nullptr},
    {"Impulse", PinDirection::Output, PinDataType::Stream, nullptr, nullptr},
    {"Mode", PinDirection::Input, PinDataType::Enumeration, "0", "Hz,BPM"},
}};
static_assert(kPins.size() == static_cast<size_t>(kClockPinCount));

constexpr int32_t index(ClockPin pin) {
    return static_cast<int32_t>(pin);
}

// Stores a double as a float. Values beyond the float range become infinite, as IEEE rounding
// makes them; a plain conversion of such a value is undefined in C++.
float narrowToFloat(double value) {
    constexpr double kRoundsToInfinity = 0x1.ffffffp127;  // largest float + half its last place
    if (value >= kRoundsToInfinity) {
        return std::numeric_limits<float>::infinity();
    }
    if (value <= -kRoundsToInfinity) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(value);
}

// Cycles shorter than this go sample by sample: finding their runs would cost more.
constexpr float kShortestCycleInRuns = 16.0f;

// Whether base + k is a float for every whole k from 0 to span, so that adding 1 span times
// rounds nowhere. All of them are multiples of the grain (base's lowest bit, or 1 if coarser):
// they are floats while below 2^24 grains. Every quantity here is exact in double.
bool countsExactly(float base, int32_t span) {
    if (!(std::fabs(base) < 16777216.0f)) return false;
    double grain = 1.0;
    if (base != 0.0f) {
        int32_t exponent = 0;
        const double mantissa = std::frexp(static_cast<double>(base), &exponent);
        const auto digits = static_cast<uint32_t>(std::fabs(mantissa) * 16777216.0);
        grain = std::fmin(1.0, std::ldexp(1.0, exponent - 24 + std::countr_zero(digits)));
    }
    return static_cast<double>(span) < 16777216.0 * grain - std::fabs(static_cast<double>(base));
}

// The first k below span at which base + k >= limit, or span if there is none. Only for a
// base that countsExactly over span: base + k is then exact and grows with k, so the test is
// false up to some k and true from there on (never true for a not-a-number limit).
int32_t firstReaching(float base, float limit, int32_t span) {
    int32_t low = 0;
    int32_t high = span;
    while (low < high) {
        const int32_t middle = low + (high - low) / 2;
        if (base + static_cast<float>(middle) >= limit) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

}  // namespace

ClockModule::ClockModule(host_protocol::HostCallback callback) : ModuleBase(callback) {
    setProcessFunction(&ClockModule::processSamples);
}

bool ClockModule::getModuleProperties(ModuleProperties* props) {
    props->name = kName;
    props->id = kId;
    props->about = kAbout;
    return true;
}

bool ClockModule::getPinProperties(int32_t pinIndex, PinProperties* props) {
    const std::array<void*, kClockPinCount> variables = {&freq,  &reset,   &cycles,
                                                         &clock, &impulse, &mode};
    if (pinIndex < 0 || pinIndex >= kClockPinCount) {
        return false;
    }
    const PinDescription& pin = kPins[static_cast<size_t>(pinIndex)];
    props->variable = variables[static_cast<size_t>(pinIndex)];
    props->direction = static_cast<int32_t>(pin.direction);
    props->dataType = static_cast<int32_t>(pin.dataType);
    props->name = pin.name;
    props->defaultValue = pin.defaultValue;
    props->listText = pin.listText;
    return true;
}

void ClockModule::restartCycle() {
    phase = 0.0f;
    cycleCount = kLargestFloat;
}

void ClockModule::open() {
    ModuleBase::open();
    restartCycle();
    // A pin table that could not be allocated leaves no pins to report on.
    for (ClockPin output : {ClockPin::Clock, ClockPin::Impulse}) {
        if (Pin* pin = getPin(index(output))) {
            pin->transmitStatus(sampleClock(), PinStatus::OneShot);
        }
    }
}

void ClockModule::pinChanged(Pin*) {
    PinStatus status = PinStatus::Streaming;
    // Only a change that finds Reset above 0 after a last processed sample that was not counts
    // as a rise: rises inside a streaming Reset bring no pin change and restart nothing.
    if (!(previousReset > 0.0f) && getPin(index(ClockPin::Reset))->currentSample() > 0.0f) {
        restartCycle();
    }
    if (!(getPin(index(ClockPin::Freq))->currentSample() > 0.0f)) {
        status = PinStatus::OneShot;
    }
    getPin(index(ClockPin::Clock))->transmitStatus(sampleClock(), status);
    getPin(index(ClockPin::Impulse))->transmitStatus(sampleClock(), status);
    if (status == PinStatus::Streaming) {
        setProcessFunction(&ClockModule::processSamples);
    } else {
        sleepCountdown.start(getBlockSize());
        setProcessFunction(&ClockModule::processUntilSleep);
    }
}

void ClockModule::processSamples(int32_t start, int32_t count) {
    if (freq == nullptr || reset == nullptr || cycles == nullptr || clock == nullptr ||
        impulse == nullptr) {
        return;  // no buffers yet: the host has not connected the streams
    }

    // Once per call, from the samples at start. The 0.1 is the single-precision constant; the
    // quotient and product are taken in double and stored as float.
    float period = narrowToFloat(static_cast<double>(0.1f) / static_cast<double>(freq[start]) *
                                 static_cast<double>(sampleRate));
    if (mode == static_cast<int16_t>(ClockMode::BeatsPerMinute)) {
        period = period * 60.0f;
    }
    const float halfPeriod = period * 0.5f;
    // Cycles in volts less one half, so that the count of cycles rounds to the nearest whole
    // number with halves going down. None above 0 leaves only the Impulse after a restart; an
    // infinite one is capped there too, so that the restart's Impulse still fires.
    float threshold = narrowToFloat(static_cast<double>(cycles[start]) * 10.0 - 0.5);
    if (!(threshold > 0.0f && threshold <= kLargestFloat)) {
        threshold = kLargestFloat;
    }

    float samplesInCycle = phase;
    float cyclesDone = cycleCount;
    const int32_t end = start + count;
    int32_t i = start;
    // While adding 1 rounds nowhere, the phase k samples on is base + k, so where the Clock falls
    // and where the cycle ends are found directly and the outputs written as runs. Cycles of a
    // few samples are left to the loop below, which takes the phase one sample at a time.
    while (i < end && period >= kShortestCycleInRuns && countsExactly(samplesInCycle, end - i)) {
        const float base = samplesInCycle;
        const int32_t span = end - i;
        const int32_t cycleEnd = firstReaching(base, period, span);
        const int32_t length = cycleEnd < span ? cycleEnd + 1 : span;
        const int32_t highLength = std::min(firstReaching(base, halfPeriod, span), length);
        // The Impulse can fire only at the run's first sample: firing sets the count to 0, the
        // threshold is above 0, and the count grows only after the cycle's last sample.
        std::fill_n(impulse + i, length, kLow);
        if (cyclesDone >= threshold) {
            impulse[i] = kHigh;
            cyclesDone = 0.0f;
        }
        std::fill_n(clock + i, highLength, kHigh);
        std::fill_n(clock + i + highLength, length - highLength, kLow);
        i += length;
        if (cycleEnd < span) {
            samplesInCycle = base + static_cast<float>(cycleEnd);
            samplesInCycle = samplesInCycle - period;
            cyclesDone = cyclesDone + 1.0f;
        } else {
            samplesInCycle = base + static_cast<float>(span - 1);
        }
        samplesInCycle = samplesInCycle + 1.0f;
    }
    for (; i < end; ++i) {
        clock[i] = kLow;
        impulse[i] = kLow;
        if (cyclesDone >= threshold) {
            impulse[i] = kHigh;
            cyclesDone = 0.0f;
        }
        if (!(samplesInCycle >= halfPeriod)) {
            clock[i] = kHigh;
        }
        // Tested after the outputs, so every later cycle starts at the remainder plus 1.
        if (samplesInCycle >= period) {
            samplesInCycle = samplesInCycle - period;
            cyclesDone = cyclesDone + 1.0f;
        }
        samplesInCycle = samplesInCycle + 1.0f;
    }
    phase = samplesInCycle;
    cycleCount = cyclesDone;
    if (count > 0) previousReset = reset[end - 1];
}

void ClockModule::processUntilSleep(int32_t start, int32_t count) {
    processSamples(start, count);
    if (sleepCountdown.countDown(count) && !eventsPending()) {
        callHost(HostOpcode::SleepRequest);
    }
}

}  // namespace kesh_clock
