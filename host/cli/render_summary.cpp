#include "render_summary.h"

#include <algorithm>
#include <string>

#include "host/patch/pin_statistics.h"

namespace cli {
namespace {

// Prints rows as columns padded to their widest cell; the first row is the heading.
void printTable(FILE* out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    for (const auto& row : rows) {
        std::string line;
        for (size_t column = 0; column < row.size(); ++column) {
            std::string cell = row[column];
            bool last = column + 1 == row.size();
            line += column == 0 ? cell + std::string(widths[column] - cell.size(), ' ')
                                : "  " + std::string(widths[column] - cell.size(), ' ') + cell;
            if (last) line += '\n';
        }
        std::fputs(("  " + line).c_str(), out);
    }
}

std::string fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

void printRenderSummary(FILE* out, const patch::BoundPatch& patch,
                        const patch::RenderResult& result,
                        const std::vector<std::filesystem::path>& written) {
    std::fprintf(out, "Rendered %llu samples (%g s at %g Hz) in blocks of %d\n",
                 static_cast<unsigned long long>(patch.sampleCount),
                 double(patch.sampleCount) / patch.sampleRate, patch.sampleRate, patch.blockSize);
    for (const auto& file : written) std::fprintf(out, "Wrote %s\n", file.string().c_str());

    std::fprintf(out, "\nRecorded pins:\n");
    std::vector<std::vector<std::string>> pins = {
        {"pin", "min V", "max V", "mean V", "rising edges"}};
    for (const patch::RecordedPin& pin : result.recording.pins) {
        patch::PinStatistics statistics = patch::pinStatistics(pin);
        pins.push_back({pin.name, fixed(statistics.minVolts, 4), fixed(statistics.maxVolts, 4),
                        fixed(statistics.meanVolts, 4), std::to_string(statistics.risingEdges)});
    }
    printTable(out, pins);

    std::fprintf(out, "\nInstances (in processing order):\n");
    std::vector<std::vector<std::string>> instances = {{"instance", "module", "status reports",
                                                        "sleep requests", "processed samples",
                                                        "asleep at end", "ns/sample"}};
    for (const patch::InstanceReport& report : result.instances) {
        double perSample = report.processedSamples == 0
                               ? 0.0
                               : report.processSeconds * 1e9 / double(report.processedSamples);
        instances.push_back({report.name, report.moduleName, std::to_string(report.statusReports),
                             std::to_string(report.sleepRequests),
                             std::to_string(report.processedSamples),
                             report.asleepAtEnd ? "yes" : "no", fixed(perSample, 1)});
    }
    printTable(out, instances);
}

}  // namespace cli
