// Timed pin changes, status forwarding and sleep, seen from outside: through the recorded WAV
// and the summary's per-instance figures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tool_run.h"

namespace module_host_test {
namespace {

struct Render {
    ToolRun run;
    std::vector<std::vector<float>> channels;
};

Render render(const ScratchFolder& folder, const std::string& patch) {
    folder.write("patch.json", patch);
    Render result{runModuleHost({"render", "patch.json", "--out", "out"}, folder.path()), {}};
    if (result.run.exitStatus == 0)
        result.channels = readWavChannels(folder.path() / "out" / "patch.wav");
    return result;
}

// Cells of an instance row: name, module, status reports, sleep requests, processed samples,
// asleep at end, ns/sample.
struct InstanceFigures {
    std::string sleepRequests;
    std::string processedSamples;
    std::string asleepAtEnd;
};

InstanceFigures instanceFigures(const std::string& summary, const std::string& instance) {
    std::vector<std::string> row = summaryRow(summary, instance);
    if (row.size() != 7) return {};
    return {row[3], row[4], row[5]};
}

// The clock sleeps with Freq at 0; a Reset wakes it and its Impulse falls on the Reset's own
// sample (437, inside the block 400..499), not at a block boundary.
TEST(TimedChanges, ResetWakesTheSleepingClockAtItsExactSample) {
    ScratchFolder folder;
    Render result = render(folder, R"({
        "sampleRate": 1000, "blockSize": 100, "duration": 1,
        "instances": { "clk": { "plugin": "Kesh Clock" } },
        "changes": [ { "at": 0.437, "pin": "clk.Reset", "value": 5 } ],
        "record": ["clk.Impulse"]
    })");
    ASSERT_EQ(result.run.exitStatus, 0) << result.run.err;
    const std::vector<float>& impulse = result.channels.at(0);
    for (size_t i = 0; i < impulse.size(); ++i)
        ASSERT_EQ(impulse[i], i == 0 || i == 437 ? 0.5f : 0.0f) << "sample " << i;
    // Asleep after its first block, awake from 437 for one block's worth (63 + 37 samples
    // counted down, the rest of the second block processed), asleep again from 600.
    InstanceFigures clock = instanceFigures(result.run.out, "clk");
    EXPECT_EQ(clock.sleepRequests, "2") << result.run.out;
    EXPECT_EQ(clock.processedSamples, "263") << result.run.out;
    EXPECT_EQ(clock.asleepAtEnd, "yes") << result.run.out;
}

// The two-export form has no queue: the host splits the block at the change's sample and
// writes the new text there.
TEST(TimedChanges, NewFunctionTextTakesEffectAtItsExactSample) {
    ScratchFolder folder;
    Render result = render(folder, R"({
        "sampleRate": 1000, "blockSize": 100, "duration": 1,
        "instances": { "q": { "plugin": "Dalt Quorval", "pins": { "Function": "a", "a": 1 } } },
        "changes": [ { "at": 0.437, "pin": "q.Function", "value": "a * 3" } ],
        "record": ["q.Y"]
    })");
    ASSERT_EQ(result.run.exitStatus, 0) << result.run.err;
    const std::vector<float>& y = result.channels.at(0);
    const float before = float(1.0 * double(0.1f));
    const float after = float(3.0 * double(0.1f));
    for (size_t i = 0; i < y.size(); ++i)
        ASSERT_EQ(y[i], i < 437 ? before : after) << "sample " << i;
    EXPECT_EQ(instanceFigures(result.run.out, "q").sleepRequests, "2") << result.run.out;
}

// The clock streams into the expression module's input a. When Freq drops to 0 at sample 44100
// the clock reports OneShot for Clock; the host forwards it to a at that sample, the module
// stops streaming, processes one block's worth (256 samples: 188 in the block holding 44100 and
// 68 of the next, whose rest it finishes) and sleeps from sample 44544 on.
TEST(StatusForwarding, DownstreamExpressionSleepsWhenItsInputStopsStreaming) {
    ScratchFolder folder;
    Render result = render(folder, R"({
        "sampleRate": 44100, "blockSize": 256, "duration": 2,
        "instances": {
            "clk": { "plugin": "Kesh Clock", "pins": { "Freq": 4 } },
            "q": { "plugin": "Dalt Quorval", "pins": { "Function": "a" } }
        },
        "connections": [ { "from": "clk.Clock", "to": "q.a" } ],
        "changes": [ { "at": 1.0, "pin": "clk.Freq", "value": 0 } ],
        "record": ["clk.Clock", "q.Y"]
    })");
    ASSERT_EQ(result.run.exitStatus, 0) << result.run.err;
    InstanceFigures expression = instanceFigures(result.run.out, "q");
    EXPECT_EQ(expression.sleepRequests, "1") << result.run.out;
    EXPECT_EQ(expression.processedSamples, "44544") << result.run.out;
    EXPECT_EQ(expression.asleepAtEnd, "yes") << result.run.out;
    EXPECT_EQ(instanceFigures(result.run.out, "clk").asleepAtEnd, "yes") << result.run.out;

    // Y follows the clock while it streams, then holds 5 V (the clock stays high at Freq 0).
    const std::vector<float>& clock = result.channels.at(0);
    const std::vector<float>& y = result.channels.at(1);
    for (size_t i = 0; i < y.size(); ++i) {
        float expected = i < 44100 ? float(double(clock[i] * 10.0f) * double(0.1f)) : 0.5f;
        ASSERT_EQ(y[i], expected) << "sample " << i;
    }
}

}  // namespace
}  // namespace module_host_test
