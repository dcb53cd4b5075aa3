// Test signals for stream inputs: constant, sine, square, saw, white noise, or a WAV file. Levels
// are given in volts and produced as stream values (volts / 10).
#pragma once

#include <cstdint>
#include <vector>

#include "patch.h"

namespace patch {

class SignalGenerator {
  public:
    // Throws PatchError (at `where`) when a WAV file cannot be read or does not fit the patch.
    SignalGenerator(const GeneratorSpec& generator, double sampleRate, const std::string& where);

    // Writes samples firstSample .. firstSample + count - 1 of the signal. Noise is drawn in
    // order, so calls must follow each other without gaps.
    void fill(float* out, uint64_t firstSample, int32_t count);

  private:
    double volts(uint64_t sample);
    double cyclePosition(uint64_t sample) const;

    GeneratorSpec spec_;
    double sampleRate_;
    uint32_t noiseState_;
    std::vector<float> wavSamples_;
};

// Volts as the host writes them into a stream buffer.
inline float streamValue(double volts) {
    return float(volts / 10.0);
}

}  // namespace patch
