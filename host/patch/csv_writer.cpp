#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "output_files.h"

namespace patch {
namespace {

// A header field, quoted when an instance name holds a comma or a quote.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

void writeCsv(const std::filesystem::path& file, const Recording& recording) {
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(file.string().c_str(), "w"), std::fclose);
    if (!out) throw std::runtime_error("cannot write \"" + file.string() + "\"");
    std::fputs("sample,time_s", out.get());
    for (const RecordedPin& pin : recording.pins)
        std::fprintf(out.get(), ",%s", csvField(pin.name + " V").c_str());
    std::fputc('\n', out.get());
    for (uint64_t sample = 0; sample < recording.sampleCount; ++sample) {
        std::fprintf(out.get(), "%llu,%.9g", static_cast<unsigned long long>(sample),
                     double(sample) / recording.sampleRate);
        // Nine significant digits give every single-precision sample back exactly.
        for (const RecordedPin& pin : recording.pins)
            std::fprintf(out.get(), ",%.9g", volts(pin.samples[sample]));
        std::fputc('\n', out.get());
    }
    if (std::ferror(out.get()) || std::fflush(out.get()) != 0)
        throw std::runtime_error("cannot write \"" + file.string() + "\"");
}

}  // namespace patch
