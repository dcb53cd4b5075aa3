// What a render recorded: one stream of samples per recorded pin, plus the moments of the timed
// pin changes so that pictures can mark them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace patch {

struct RecordedPin {
    std::string name;            // "clk.Clock"
    std::vector<float> samples;  // stream values (1.0 = 10 V), one per sample of the render
};

struct Marker {
    uint64_t sample;
    std::string label;  // "clk.Reset = 5"
};

struct Recording {
    double sampleRate = 44100.0;
    uint64_t sampleCount = 0;
    std::vector<RecordedPin> pins;
    std::vector<Marker> markers;
};

inline double volts(float streamValue) {
    return double(streamValue) * 10.0;
}

}  // namespace patch
