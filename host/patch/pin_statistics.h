// Figures a person checks first when looking at a recorded pin.
#pragma once

#include <cstdint>

#include "recording.h"

namespace patch {

struct PinStatistics {
    double minVolts = 0.0;
    double maxVolts = 0.0;
    double meanVolts = 0.0;
    // Rising edges as the modules see them: a sample above 0 V after one that is not (the
    // sample before the first counts as 0 V; a not-a-number is low).
    uint64_t risingEdges = 0;
};

PinStatistics pinStatistics(const RecordedPin& pin);

}  // namespace patch
