#include <sndfile.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "output_files.h"

namespace patch {

void writeWav(const std::filesystem::path& file, const Recording& recording) {
    SF_INFO info{};
    info.samplerate = int(std::lround(recording.sampleRate));
    info.channels = int(recording.pins.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* wav = sf_open(file.string().c_str(), SFM_WRITE, &info);
    if (wav == nullptr)
        throw std::runtime_error("cannot write \"" + file.string() + "\": " + sf_strerror(nullptr));

    // Interleave a slice at a time so that a long render needs no second full copy.
    constexpr uint64_t kFramesPerSlice = 4096;
    std::vector<float> slice(kFramesPerSlice * recording.pins.size());
    bool complete = true;
    for (uint64_t first = 0; first < recording.sampleCount && complete; first += kFramesPerSlice) {
        uint64_t frames = std::min(kFramesPerSlice, recording.sampleCount - first);
        for (uint64_t frame = 0; frame < frames; ++frame)
            for (size_t channel = 0; channel < recording.pins.size(); ++channel)
                slice[frame * recording.pins.size() + channel] =
                    recording.pins[channel].samples[first + frame];
        complete = sf_writef_float(wav, slice.data(), sf_count_t(frames)) == sf_count_t(frames);
    }
    std::string error = complete ? "" : sf_strerror(wav);
    if (sf_close(wav) != 0 && complete) error = "closing failed";
    if (!error.empty())
        throw std::runtime_error("cannot write \"" + file.string() + "\": " + error);
}

}  // namespace patch
