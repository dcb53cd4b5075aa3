#include "pin_statistics.h"

#include <algorithm>

namespace patch {

PinStatistics pinStatistics(const RecordedPin& pin) {
    PinStatistics statistics;
    if (pin.samples.empty()) return statistics;
    statistics.minVolts = volts(pin.samples.front());
    statistics.maxVolts = statistics.minVolts;
    double sum = 0.0;
    bool previousHigh = false;
    for (float sample : pin.samples) {
        double value = volts(sample);
        statistics.minVolts = std::min(statistics.minVolts, value);
        statistics.maxVolts = std::max(statistics.maxVolts, value);
        sum += value;
        bool high = sample > 0.0f;
        if (high && !previousHigh) ++statistics.risingEdges;
        previousHigh = high;
    }
    statistics.meanVolts = sum / double(pin.samples.size());
    return statistics;
}

}  // namespace patch
