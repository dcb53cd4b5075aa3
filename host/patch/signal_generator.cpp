#include "signal_generator.h"

#include <sndfile.h>

#include <cmath>
#include <numbers>

#include "patch_error.h"

namespace patch {
namespace {

std::vector<float> readWavChannel(const GeneratorSpec& generator, double sampleRate,
                                  const std::string& where) {
    SF_INFO info{};
    SNDFILE* file = sf_open(generator.file.string().c_str(), SFM_READ, &info);
    if (file == nullptr)
        throw PatchError(
            where, "cannot read \"" + generator.file.string() + "\": " + sf_strerror(nullptr));
    std::vector<float> frames(size_t(info.frames) * size_t(info.channels));
    sf_count_t framesRead = sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    if (generator.channel >= info.channels)
        throw PatchError(where, "\"" + generator.file.string() + "\" has " +
                                    std::to_string(info.channels) + " channel(s); channel " +
                                    std::to_string(generator.channel) + " does not exist");
    if (double(info.samplerate) != sampleRate)
        throw PatchError(where, "\"" + generator.file.string() + "\" is at " +
                                    std::to_string(info.samplerate) +
                                    " Hz, the patch at another sample rate");
    std::vector<float> channel(static_cast<size_t>(framesRead));
    for (sf_count_t i = 0; i < framesRead; ++i)
        channel[size_t(i)] = frames[size_t(i) * size_t(info.channels) + size_t(generator.channel)];
    return channel;
}

}  // namespace

SignalGenerator::SignalGenerator(const GeneratorSpec& generator, double sampleRate,
                                 const std::string& where)
    : spec_(generator),
      sampleRate_(sampleRate),
      noiseState_(generator.seed == 0 ? 1 : generator.seed) {
    if (spec_.waveform == Waveform::WavFile) wavSamples_ = readWavChannel(spec_, sampleRate, where);
}

double SignalGenerator::cyclePosition(uint64_t sample) const {
    double position = std::fmod(spec_.frequency * double(sample) / sampleRate_ + spec_.phase, 1.0);
    return position < 0.0 ? position + 1.0 : position;
}

double SignalGenerator::volts(uint64_t sample) {
    switch (spec_.waveform) {
        case Waveform::Constant:
            return spec_.offset + spec_.amplitude;
        case Waveform::Sine:
            return spec_.offset +
                   spec_.amplitude * std::sin(2.0 * std::numbers::pi * cyclePosition(sample));
        case Waveform::Square:
            return spec_.offset +
                   (cyclePosition(sample) < 0.5 ? spec_.amplitude : -spec_.amplitude);
        case Waveform::Saw:
            return spec_.offset + spec_.amplitude * (2.0 * cyclePosition(sample) - 1.0);
        case Waveform::Noise: {
            // xorshift32: the same seed gives the same noise on every machine.
            noiseState_ ^= noiseState_ << 13;
            noiseState_ ^= noiseState_ >> 17;
            noiseState_ ^= noiseState_ << 5;
            return spec_.offset + spec_.amplitude * (double(noiseState_) / 2147483648.0 - 1.0);
        }
        case Waveform::WavFile:
            break;
    }
    return 0.0;
}

void SignalGenerator::fill(float* out, uint64_t firstSample, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        uint64_t sample = firstSample + uint64_t(i);
        if (spec_.waveform == Waveform::WavFile) {
            // A WAV file holds stream values; past its end it is silent.
            float value = sample < wavSamples_.size() ? wavSamples_[sample] : 0.0f;
            out[i] = value + streamValue(spec_.offset);
        } else {
            out[i] = streamValue(volts(sample));
        }
    }
}

}  // namespace patch
