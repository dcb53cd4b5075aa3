// The host's signal sources for unconnected stream inputs, recorded straight from the input
// buffers the host fills.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "tool_run.h"

namespace module_host_test {
namespace {

// Volts as the host writes them into a stream.
float stream(double volts) {
    return float(volts / 10.0);
}

TEST(SignalSources, WaveformsFollowTheirFormulasInVolts) {
    ScratchFolder folder;
    folder.write("patch.json", R"({
        "sampleRate": 1000, "blockSize": 64, "duration": 1,
        "instances": { "rnd": { "plugin": "Kesh-Rnd", "pins": {
            "Gate": { "signal": "saw", "frequency": 4, "amplitude": 2, "offset": 1 },
            "Level": { "signal": "sine", "frequency": 5, "amplitude": 3 },
            "Seed": { "signal": "square", "frequency": 2, "amplitude": 4, "offset": 4 },
            "Plant": { "signal": "noise", "amplitude": 2, "seed": 7 } } } },
        "record": ["rnd.Gate", "rnd.Level", "rnd.Seed", "rnd.Plant"]
    })");
    ToolRun run = runModuleHost({"render", "patch.json", "--out", "out"}, folder.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    auto channels = readWavChannels(folder.path() / "out" / "patch.wav");
    ASSERT_EQ(channels.size(), 4u);
    const auto& saw = channels[0];
    const auto& sine = channels[1];
    const auto& square = channels[2];
    const auto& noise = channels[3];
    ASSERT_EQ(saw.size(), 1000u);

    // Saw: from offset - amplitude up to just below offset + amplitude over each 250 samples.
    EXPECT_EQ(saw[0], stream(-1.0));
    EXPECT_EQ(saw[125], stream(1.0));
    EXPECT_EQ(saw[250], stream(-1.0));
    EXPECT_FLOAT_EQ(saw[249], stream(1.0 + 2.0 * (2.0 * 249.0 / 250.0 - 1.0)));
    for (size_t i : {0u, 50u, 77u, 199u, 999u})
        EXPECT_NEAR(sine[i],
                    stream(3.0 * std::sin(2.0 * std::numbers::pi * 5.0 * double(i) / 1000.0)), 1e-6)
            << "sample " << i;
    // Square: amplitude above the offset for the first half of each cycle, below for the second.
    EXPECT_EQ(square[0], stream(8.0));
    EXPECT_EQ(square[249], stream(8.0));
    EXPECT_EQ(square[250], stream(0.0));
    EXPECT_EQ(square[499], stream(0.0));
    EXPECT_EQ(square[500], stream(8.0));
    // Noise: within its amplitude, and not a constant.
    float low = noise[0], high = noise[0];
    for (float sample : noise) {
        EXPECT_GE(sample, stream(-2.0));
        EXPECT_LE(sample, stream(2.0));
        low = std::min(low, sample);
        high = std::max(high, sample);
    }
    EXPECT_LT(low, stream(-1.5));
    EXPECT_GT(high, stream(1.5));
}

// A recording can feed a later patch: the WAV holds stream values, read back unchanged, and a
// render is the same every time (noise included).
TEST(SignalSources, WavFileReplaysARecording) {
    ScratchFolder folder;
    folder.write("first.json", R"({
        "sampleRate": 1000, "blockSize": 64, "duration": 0.5,
        "instances": { "rnd": { "plugin": "Kesh-Rnd", "pins": {
            "Level": { "signal": "noise", "amplitude": 5, "seed": 42 } } } },
        "record": ["rnd.Level"]
    })");
    folder.write("second.json", R"({
        "sampleRate": 1000, "blockSize": 100, "duration": 0.5,
        "instances": { "rnd": { "plugin": "Kesh-Rnd", "pins": {
            "Level": { "signal": "wav", "file": "out/first.wav" },
            "Seed": { "signal": "noise", "amplitude": 5, "seed": 42 } } } },
        "record": ["rnd.Level", "rnd.Seed"]
    })");
    ASSERT_EQ(runModuleHost({"render", "first.json", "--out", "out"}, folder.path()).exitStatus, 0);
    ToolRun second = runModuleHost({"render", "second.json", "--out", "out"}, folder.path());
    ASSERT_EQ(second.exitStatus, 0) << second.err;
    auto first = readWavChannels(folder.path() / "out" / "first.wav");
    auto replay = readWavChannels(folder.path() / "out" / "second.wav");
    EXPECT_EQ(replay.at(0), first.at(0));
    EXPECT_EQ(replay.at(1), first.at(0));
}

}  // namespace
}  // namespace module_host_test
