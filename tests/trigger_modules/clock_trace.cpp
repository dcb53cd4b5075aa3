#include "tests/trigger_modules/clock_trace.h"

#include <algorithm>

#include "trigger_plugins/clock/clock_pins.h"

namespace trigger_test {

using kesh_clock::ClockPin;

ClockTrace traceClock(TriggerRig& rig, uint64_t samples) {
    ClockTrace trace;
    bool high = false;
    for (uint64_t done = 0; done < samples;) {
        const auto count =
            static_cast<int32_t>(std::min<uint64_t>(samples - done, rig.blockSize()));
        rig.process(count);
        const std::span<const float> clock = rig.instance().buffer(pinIndex(ClockPin::Clock));
        const std::span<const float> impulse = rig.instance().buffer(pinIndex(ClockPin::Impulse));
        for (int32_t i = 0; i < count; ++i) {
            const uint64_t position = done + static_cast<uint64_t>(i);
            if (impulse[i] == 0.5f) {
                trace.impulses.push_back(position);
            } else if (impulse[i] != 0.0f) {
                ++trace.strayValues;
            }
            if (clock[i] == 0.5f) {
                if (!high) trace.highRuns.push_back({position, 0});
                ++trace.highRuns.back().length;
            } else if (clock[i] != 0.0f) {
                ++trace.strayValues;
            }
            high = clock[i] == 0.5f;
        }
        done += static_cast<uint64_t>(count);
    }
    return trace;
}

}  // namespace trigger_test
