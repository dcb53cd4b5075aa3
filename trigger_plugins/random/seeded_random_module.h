// Kesh-Rnd: a seeded, replayable random sample-and-hold. Each rising Gate edge draws a new value
// from a 32-bit linear congruential generator; Output is that value times Level, per sample.
// Seed chooses the sequence and a rising Plant edge restarts it from Seed.
#pragma once

#include <cstdint>

#include "host_protocol/host_callback.h"
#include "trigger_plugins/framework/sleep_countdown.h"
#include "trigger_plugins/framework/standard_framework.h"

namespace kesh_rnd {

using ModuleBase = trigger_framework::standard_form::ModuleBase;

class SeededRandomModule : public ModuleBase {
  public:
    // Streams (processSamples) until the first pin change chooses otherwise.
    explicit SeededRandomModule(host_protocol::HostCallback callback);
    ~SeededRandomModule() override = default;

    bool getModuleProperties(ModuleProperties* props) override;
    // Indices 0 to 4 (RandomPin); false for any other.
    bool getPinProperties(int32_t index, PinProperties* props) override;
    // Builds the pins, clears the held value and the last Gate sample, and asks the next
    // process call to seed the generator. Output is reported OneShot.
    void open() override;
    // Streams while Gate streams and Level is above 0; otherwise one more block, then sleep.
    void pinChanged(Pin* pin) override;

    // Seeding if pending, then the per-sample Plant re-seed, Gate draw and Output.
    virtual void processSamples(int32_t start, int32_t count);
    // processSamples, then the sleep countdown.
    void processUntilSleep(int32_t start, int32_t count);

  private:
    void seedFromSample(float seedSample);

    // Pin variables: the host stores each stream's buffer address here.
    float* gate = nullptr;
    float* level = nullptr;
    float* output = nullptr;
    float* seed = nullptr;
    float* plant = nullptr;

    float previousPlant = 0.0f;  // Plant sample of the last processed sample
    float previousGate = 0.0f;   // Gate sample of the last processed sample
    float heldValue = 0.0f;      // the last drawn value, before Level; in [-0.5, 0.5)
    trigger_framework::SleepCountdown sleepCountdown;  // while processUntilSleep runs
    bool seedPending = false;                          // the next process call seeds randomState
    uint32_t randomState = 0;
    // The clock seed, read at open so that the audio path never reads the clock.
    uint32_t clockSeed = 0;
};

}  // namespace kesh_rnd
