// The files a render writes. Each throws std::runtime_error naming the file when it cannot be
// written completely.
#pragma once

#include <filesystem>

#include "recording.h"

namespace patch {

// One 32-bit float channel per recorded pin, in stream values (1.0 = 10 V), so that a recording
// can feed a "wav" signal of another patch unchanged.
void writeWav(const std::filesystem::path& file, const Recording& recording);

// One row per sample: sample number, time in seconds, then every recorded pin in volts.
void writeCsv(const std::filesystem::path& file, const Recording& recording);

// A scope picture: one lane per recorded pin in volts, a labelled time axis, and the timed pin
// changes marked.
void writeScopeSvg(const std::filesystem::path& file, const Recording& recording);

}  // namespace patch
