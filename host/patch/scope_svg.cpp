#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>

#include "output_files.h"

namespace patch {
namespace {

constexpr double kWidth = 1200.0;
constexpr double kLeft = 170.0;  // room for pin names and volt labels
constexpr double kRight = 20.0;
constexpr double kTop = 40.0;
constexpr double kLaneHeight = 110.0;
constexpr double kLaneGap = 16.0;
constexpr double kAxisHeight = 50.0;
constexpr double kPlotWidth = kWidth - kLeft - kRight;

constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                    "#ff7f0e", "#17becf", "#8c564b", "#e377c2"};

std::string escapeXml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string coordinate(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// A step of 1, 2 or 5 times a power of ten giving about `wanted` intervals over `span`.
double niceStep(double span, double wanted) {
    double raw = span / wanted;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (raw <= factor * power) return factor * power;
    return 10.0 * power;
}

struct VoltRange {
    double low;
    double high;
};

// The lane always shows 0 V, so that a logic signal reads as such.
VoltRange laneRange(const RecordedPin& pin) {
    double low = 0.0, high = 0.0;
    for (float sample : pin.samples) {
        double value = volts(sample);
        if (!std::isfinite(value)) continue;
        low = std::min(low, value);
        high = std::max(high, value);
    }
    if (high - low < 1e-9) {
        low -= 1.0;
        high += 1.0;
    }
    double pad = (high - low) * 0.08;
    return {low - pad, high + pad};
}

class LaneTrace {
  public:
    LaneTrace(double top, VoltRange range) : top_(top), range_(range) {}

    double y(double value) const {
        double clamped = std::clamp(value, range_.low, range_.high);
        return top_ + kLaneHeight * (range_.high - clamped) / (range_.high - range_.low);
    }

    // Few samples: every sample as a step. Many: per pixel column its first, lowest, highest
    // and last sample, so that single-sample pulses stay visible.
    std::string path(const RecordedPin& pin, uint64_t count) const {
        std::ostringstream d;
        if (count == 0) return "";
        bool drawing = false;
        auto point = [&](double x, double value) {
            if (std::isnan(value)) {
                drawing = false;
                return;
            }
            d << (drawing ? " L" : " M") << coordinate(x) << ',' << coordinate(y(value));
            drawing = true;
        };
        double xPerSample = kPlotWidth / double(count);
        if (double(count) <= 2.0 * kPlotWidth) {
            for (uint64_t i = 0; i < count; ++i) {
                double value = volts(pin.samples[i]);
                point(kLeft + double(i) * xPerSample, value);
                point(kLeft + double(i + 1) * xPerSample, value);
            }
            return d.str();
        }
        int columns = int(kPlotWidth);
        for (int column = 0; column < columns; ++column) {
            uint64_t first = uint64_t(double(column) / columns * double(count));
            uint64_t end = uint64_t(double(column + 1) / columns * double(count));
            end = std::clamp(end, first + 1, count);
            double low = std::numeric_limits<double>::infinity();
            double high = -low;
            for (uint64_t i = first; i < end; ++i) {
                double value = volts(pin.samples[i]);
                if (std::isnan(value)) continue;
                low = std::min(low, value);
                high = std::max(high, value);
            }
            double x = kLeft + column + 0.5;
            if (low > high) {
                point(x, std::nan(""));
                continue;
            }
            point(x, volts(pin.samples[first]));
            point(x, low);
            point(x, high);
            point(x, volts(pin.samples[end - 1]));
        }
        return d.str();
    }

  private:
    double top_;
    VoltRange range_;
};

double laneTop(size_t index) {
    return kTop + double(index) * (kLaneHeight + kLaneGap);
}

// The lane's frame, name and volt scale; drawn before the time grid, which must show over it.
void writeLaneFrame(std::ostream& svg, const RecordedPin& pin, size_t index) {
    double top = laneTop(index);
    VoltRange range = laneRange(pin);
    LaneTrace trace(top, range);
    const char* colour = kColours[index % std::size(kColours)];
    svg << "<rect x=\"" << kLeft << "\" y=\"" << top << "\" width=\"" << kPlotWidth
        << "\" height=\"" << kLaneHeight << "\" fill=\"#fafafa\" stroke=\"#bbb\"/>\n";
    svg << "<text x=\"10\" y=\"" << coordinate(top + kLaneHeight / 2 + 5)
        << "\" font-size=\"15\" font-weight=\"bold\" fill=\"" << colour << "\">"
        << escapeXml(pin.name) << "</text>\n";

    double step = niceStep(range.high - range.low, 4.0);
    for (double volt = std::ceil(range.low / step) * step; volt <= range.high; volt += step) {
        double y = trace.y(volt);
        bool zero = std::fabs(volt) < step * 1e-6;
        svg << "<line x1=\"" << kLeft << "\" x2=\"" << kLeft + kPlotWidth << "\" y1=\""
            << coordinate(y) << "\" y2=\"" << coordinate(y) << "\" stroke=\""
            << (zero ? "#888" : "#ddd") << "\" stroke-width=\"1\"/>\n";
        svg << "<text x=\"" << kLeft - 6 << "\" y=\"" << coordinate(y + 4)
            << "\" font-size=\"11\" text-anchor=\"end\" fill=\"#444\">" << number(zero ? 0.0 : volt)
            << " V</text>\n";
    }
}

void writeLaneTrace(std::ostream& svg, const RecordedPin& pin, size_t index, uint64_t count) {
    LaneTrace trace(laneTop(index), laneRange(pin));
    const char* colour = kColours[index % std::size(kColours)];
    svg << "<path d=\"" << trace.path(pin, count) << "\" fill=\"none\" stroke=\"" << colour
        << "\" stroke-width=\"1.2\" stroke-linejoin=\"round\"/>\n";
}

void writeTimeAxis(std::ostream& svg, const Recording& recording, double plotBottom) {
    double seconds = double(recording.sampleCount) / recording.sampleRate;
    double step = niceStep(seconds > 0.0 ? seconds : 1.0, 10.0);
    for (double t = 0.0; t <= seconds * (1.0 + 1e-9); t += step) {
        double x = kLeft + kPlotWidth * t / (seconds > 0.0 ? seconds : 1.0);
        svg << "<line x1=\"" << coordinate(x) << "\" x2=\"" << coordinate(x) << "\" y1=\"" << kTop
            << "\" y2=\"" << coordinate(plotBottom + 5)
            << "\" stroke=\"#dcdcdc\" stroke-width=\"1\"/>\n";
        svg << "<text x=\"" << coordinate(x) << "\" y=\"" << coordinate(plotBottom + 20)
            << "\" font-size=\"12\" text-anchor=\"middle\" fill=\"#444\">" << number(t)
            << "</text>\n";
    }
    svg << "<text x=\"" << coordinate(kLeft + kPlotWidth / 2) << "\" y=\""
        << coordinate(plotBottom + 40)
        << "\" font-size=\"13\" text-anchor=\"middle\" fill=\"#222\">time (s)</text>\n";
}

void writeMarkers(std::ostream& svg, const Recording& recording, double plotBottom) {
    if (recording.sampleCount == 0) return;
    for (size_t i = 0; i < recording.markers.size(); ++i) {
        const Marker& marker = recording.markers[i];
        double x = kLeft + kPlotWidth * double(marker.sample) / double(recording.sampleCount);
        svg << "<line x1=\"" << coordinate(x) << "\" x2=\"" << coordinate(x) << "\" y1=\""
            << kTop - 4 << "\" y2=\"" << coordinate(plotBottom)
            << "\" stroke=\"#e6a100\" stroke-dasharray=\"4,3\" stroke-width=\"1\"/>\n";
        // Alternate two heights so that neighbouring labels stay readable.
        svg << "<text x=\"" << coordinate(x + 3) << "\" y=\"" << (i % 2 == 0 ? 16 : 30)
            << "\" font-size=\"11\" fill=\"#a06b00\">" << escapeXml(marker.label) << "</text>\n";
    }
}

}  // namespace

void writeScopeSvg(const std::filesystem::path& file, const Recording& recording) {
    size_t lanes = recording.pins.size();
    double plotBottom = kTop + double(lanes) * kLaneHeight + double(lanes - 1) * kLaneGap;
    double height = plotBottom + kAxisHeight;
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\""
        << height << "\" viewBox=\"0 0 " << kWidth << ' ' << height
        << "\" font-family=\"sans-serif\">\n";
    svg << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    for (size_t i = 0; i < lanes; ++i) writeLaneFrame(svg, recording.pins[i], i);
    writeTimeAxis(svg, recording, plotBottom);
    for (size_t i = 0; i < lanes; ++i)
        writeLaneTrace(svg, recording.pins[i], i, recording.sampleCount);
    writeMarkers(svg, recording, plotBottom);
    svg << "</svg>\n";

    std::ofstream out(file, std::ios::binary);
    out << svg.str();
    out.flush();
    if (!out) throw std::runtime_error("cannot write \"" + file.string() + "\"");
}

}  // namespace patch
