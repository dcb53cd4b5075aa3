// A faulty patch stops with one message naming its place, a non-zero exit status and no output.
#include <gtest/gtest.h>

#include <string>

#include "tool_run.h"

namespace module_host_test {
namespace {

struct BadPatch {
    const char* name;
    const char* patch;
    const char* message;  // the message after "module-host: ", up to any list of folders searched
};

constexpr BadPatch kBadPatches[] = {
    {"UnknownPlugin",
     R"({ "duration": 1, "instances": { "x": { "plugin": "Kesh Clok" } }, "record": ["x.Clock"] })",
     "patch.json: instances.x.plugin: unknown plug-in \"Kesh Clok\""},
    {"UnknownPin",
     R"({ "duration": 1,
          "instances": { "clk": { "plugin": "Kesh Clock", "pins": { "Frequency": 4 } } },
          "record": ["clk.Clock"] })",
     "patch.json: instances.clk.pins.Frequency: the module \"Clock\" has no pin \"Frequency\"; "
     "its pins are Freq, Reset, Cycles, Clock, Impulse, Mode"},
    {"ConnectionIntoAnOutput",
     R"({ "duration": 1,
          "instances": { "clk": { "plugin": "Kesh Clock" }, "rnd": { "plugin": "Kesh-Rnd" } },
          "connections": [ { "from": "rnd.Output", "to": "clk.Clock" } ],
          "record": ["clk.Clock"] })",
     "patch.json: connections[0].to: clk.Clock is an output; a connection must end at an input"},
    {"CycleOfConnections",
     R"({ "duration": 1,
          "instances": { "a": { "plugin": "Kesh-Rnd" }, "b": { "plugin": "Kesh-Rnd" } },
          "connections": [ { "from": "a.Output", "to": "b.Gate" },
                           { "from": "b.Output", "to": "a.Level" } ],
          "record": ["a.Output"] })",
     "patch.json: connections[1]: this connection closes a cycle: a.Output -> b.Gate, "
     "b.Output -> a.Level"},
    {"MalformedJson",
     "{\n  \"duration\": 1,\n  \"instances\": { \"clk\": { \"plugin\": \"Kesh Clock\" } },\n"
     "  \"record\": [\"clk.Clock\",]\n}\n",
     "patch.json: line 4, column 26: malformed JSON: syntax error while parsing value - "
     "unexpected ']'; expected '[', '{', or a literal"},
    {"NegativeDuration",
     R"({ "duration": -1, "instances": { "clk": { "plugin": "Kesh Clock" } },
          "record": ["clk.Clock"] })",
     "patch.json: duration: must be greater than 0"},
    {"ChangeAfterTheEnd",
     R"({ "duration": 1, "instances": { "clk": { "plugin": "Kesh Clock" } },
          "changes": [ { "at": 1.5, "pin": "clk.Reset", "value": 5 } ],
          "record": ["clk.Clock"] })",
     "patch.json: changes[0].at: lies at or after the end of the patch (1 s)"},
    {"UnknownChoice",
     R"({ "duration": 1,
          "instances": { "clk": { "plugin": "Kesh Clock", "pins": { "Mode": "Hertz" } } },
          "record": ["clk.Clock"] })",
     "patch.json: instances.clk.pins.Mode: \"Hertz\" is not a choice of \"Mode\"; its choices "
     "are \"Hz\" (0), \"BPM\" (1)"},
    {"ChangeOfAConnectedInput",
     R"({ "duration": 1,
          "instances": { "clk": { "plugin": "Kesh Clock" }, "rnd": { "plugin": "Kesh-Rnd" } },
          "connections": [ { "from": "clk.Clock", "to": "rnd.Gate" } ],
          "changes": [ { "at": 0.5, "pin": "rnd.Gate", "value": 5 } ],
          "record": ["rnd.Output"] })",
     "patch.json: changes[0].pin: rnd.Gate is driven by a connection and cannot be changed"},
    {"MisspeltKey",
     R"({ "duration": 1, "sampelRate": 48000,
          "instances": { "clk": { "plugin": "Kesh Clock" } }, "record": ["clk.Clock"] })",
     "patch.json: sampelRate: unknown key"},
};

class BadPatchTest : public ::testing::TestWithParam<BadPatch> {};

TEST_P(BadPatchTest, StopsWithOneMessageAndWritesNothing) {
    ScratchFolder folder;
    folder.write("patch.json", GetParam().patch);
    ToolRun run = runModuleHost({"render", "patch.json", "--out", "out", "--csv"}, folder.path());
    EXPECT_EQ(run.exitStatus, 1);
    std::string expected = std::string("module-host: ") + GetParam().message;
    EXPECT_EQ(run.err.substr(0, expected.size()), expected);
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(folder.filesIn("out").empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, BadPatchTest, ::testing::ValuesIn(kBadPatches),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(CommandLine, UnknownCommandShowsTheUsage) {
    ScratchFolder folder;
    ToolRun run = runModuleHost({"play", "patch.json"}, folder.path());
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find("unknown command play"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("usage: module-host"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace module_host_test
