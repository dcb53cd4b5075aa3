// Runs a clock instance block by block and keeps what its outputs did: where Impulse fired and
// where Clock stood high, so long runs need not be stored sample by sample.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "tests/trigger_modules/trigger_rig.h"

namespace trigger_test {

struct HighRun {
    uint64_t start;
    uint64_t length;
    bool operator==(const HighRun&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const HighRun& run) {
    return out << "{" << run.start << ", " << run.length << "}";
}

struct ClockTrace {
    std::vector<uint64_t> impulses;  // samples at which Impulse was 0.5
    std::vector<HighRun> highRuns;   // Clock at 0.5; a run still high at the end is cut there
    uint64_t strayValues = 0;        // output samples that were neither 0 nor 0.5
};

// Processes `samples` samples from the rig's current position, in blocks of its block size.
ClockTrace traceClock(TriggerRig& rig, uint64_t samples);

}  // namespace trigger_test
