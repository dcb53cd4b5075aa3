// Kesh Clock: a 0 V / 5 V square-wave clock in hertz or beats per minute, with a single-sample
// 5 V Impulse every Cycles cycles and a Reset that restarts the cycle.
#pragma once

#include <cstdint>
#include <limits>

#include "host_protocol/host_callback.h"
#include "trigger_plugins/framework/clock_framework.h"
#include "trigger_plugins/framework/sleep_countdown.h"

namespace kesh_clock {

using ModuleBase = trigger_framework::clock_form::ModuleBase;

class ClockModule : public ModuleBase {
  public:
    // Streams (processSamples) until the first pin change chooses otherwise.
    explicit ClockModule(host_protocol::HostCallback callback);
    ~ClockModule() override = default;

    bool getModuleProperties(ModuleProperties* props) override;
    // Indices 0 to 5 (ClockPin); false for any other.
    bool getPinProperties(int32_t index, PinProperties* props) override;
    // Builds the pins and restarts the cycle, so the first sample carries an Impulse. Both
    // outputs are reported OneShot.
    void open() override;
    // Restarts the cycle on a Reset rise; streams while Freq is above 0, otherwise one more
    // block, then sleep.
    void pinChanged(Pin* pin) override;

    // Reads Freq, Cycles and Mode once, then writes Clock and Impulse sample by sample.
    void processSamples(int32_t start, int32_t count);
    // processSamples, then the sleep countdown.
    void processUntilSleep(int32_t start, int32_t count);

  private:
    void restartCycle();

    // Pin variables: the host stores each stream's buffer address here.
    float* freq = nullptr;
    float* reset = nullptr;
    float* cycles = nullptr;
    float* clock = nullptr;
    float* impulse = nullptr;

    float previousReset = 0.0f;  // Reset sample of the last processed sample
    float phase = 0.0f;          // samples counted in the current cycle
    // Cycles completed since the last Impulse. The largest float reaches any threshold, so the
    // first sample after open or a reset carries an Impulse.
    float cycleCount = std::numeric_limits<float>::max();
    int16_t mode = 0;                                  // ClockMode, written by the framework
    trigger_framework::SleepCountdown sleepCountdown;  // while processUntilSleep runs
};

}  // namespace kesh_clock
