// module-host info shows each plug-in as the host application would, read through its exports.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "tool_run.h"

namespace module_host_test {
namespace {

struct InfoCase {
    const char* plugin;
    const char* name;
    const char* id;
    const char* aboutFirstLine;
    // Pin rows: index, name, direction, type, default, choices or range.
    std::vector<std::vector<std::string>> pins;
};

const InfoCase kInfoCases[] = {
    {"Kesh Clock",
     "Clock",
     "Kesh Clock",
     "Clock v1.2",
     {{"0", "Freq", "input", "Stream", "0 V"},
      {"1", "Reset", "input", "Stream", "0 V"},
      {"2", "Cycles", "input", "Stream", "16 V"},
      {"3", "Clock", "output", "Stream", "-"},
      {"4", "Impulse", "output", "Stream", "-"},
      {"5", "Mode", "input", "Enumeration", "0", "Hz = 0, BPM = 1"}}},
    {"Kesh-Rnd",
     "Kesh-Rnd",
     "Kesh-Rnd",
     "Seeded Random Generator v1.2",
     {{"0", "Gate", "input", "Stream", "0 V"},
      {"1", "Level", "input", "Stream", "10 V"},
      {"2", "Output", "output", "Stream", "-"},
      {"3", "Seed", "input", "Stream", "0 V", "range 10000,0,10000,0"},
      {"4", "Plant", "input", "Stream", "0 V"}}},
    {"Dalt Quorval",
     "Dalt-F Quorval",
     "Dalt-F Quovral",
     "Dalt-F Quorval v1.0",
     {{"0", "Function", "input", "Text", "\"y = a + b + c + d\""},
      {"1", "Process", "input", "Enumeration", "0", "Sample Rate = 0, Sample Frames = 1"},
      {"2", "a", "input", "Stream", "0 V"},
      {"3", "b", "input", "Stream", "0 V"},
      {"4", "c", "input", "Stream", "0 V"},
      {"5", "d", "input", "Stream", "0 V"},
      {"6", "Y", "output", "Stream", "-"}}},
};

class InfoTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(InfoTest, ShowsPropertiesAndPinTable) {
    const InfoCase& expected = GetParam();
    ScratchFolder folder;
    ToolRun run = runModuleHost({"info", expected.plugin}, folder.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.out.find(std::string("Name:    ") + expected.name + "\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(std::string("Id:      ") + expected.id + "\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(std::string("About:\n  ") + expected.aboutFirstLine + "\n"),
              std::string::npos)
        << run.out;
    for (const auto& pin : expected.pins) EXPECT_EQ(summaryRow(run.out, pin[0]), pin) << run.out;
    EXPECT_TRUE(summaryRow(run.out, std::to_string(expected.pins.size())).empty()) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Plugins, InfoTest, ::testing::ValuesIn(kInfoCases), [](const auto& param) {
    std::string name = param.param.name;
    std::erase_if(name, [](char c) { return !std::isalnum(c); });
    return name;
});

TEST(Info, PluginGivenByPath) {
    ScratchFolder folder;
    ToolRun run = runModuleHost({"info", KESH_CLOCK_PATH}, folder.path());
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.out.find("Name:    Clock\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace module_host_test
