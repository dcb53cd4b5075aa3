// Switching the process function the host calls, and running blocks through it.
#include <gtest/gtest.h>

#include "tests/two_export_framework/test_plugin.h"

namespace framework_test {
namespace {

using host_protocol::HostOpcode;

TEST(SetProcessFunction, TellsTheHostOnlyOnARealChange) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open({});
    instance->calls().clear();

    test.setProcess(*instance, 1);
    test.setProcess(*instance, 1);
    EXPECT_EQ(instance->calls().count(HostOpcode::ProcessChanged), 1u);
    EXPECT_EQ(instance->record()->process, test.processAddress(1));

    test.setProcess(*instance, 2);
    EXPECT_EQ(instance->record()->process, test.processAddress(2));
    test.setProcess(*instance, 1);
    EXPECT_EQ(instance->calls().count(HostOpcode::ProcessChanged), 3u);
    EXPECT_EQ(instance->record()->process, test.processAddress(1));
}

TEST(SetProcessFunction, HostCallFollowsTheRecordChange) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open({});
    instance->calls().clear();
    test.setProcess(*instance, 2);
    const auto calls = instance->calls().all();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (host::HostCall{22, 0, 0, 0}));
}

TEST(ProcessEntry, HostRunsTheInstalledRoutineWithStartAndCount) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open({});
    instance->process(0, 64);  // the empty routine
    test.setProcess(*instance, 1);
    instance->process(16, 48);
    test.setProcess(*instance, 2);
    instance->process(0, 7);
    const TestTrace trace = test.trace(*instance);
    EXPECT_STREQ(trace.events, "ab");
    EXPECT_EQ(trace.processStart, 0);
    EXPECT_EQ(trace.processCount, 7);
}

TEST(NullCallback, OpenProcessAndCloseWithoutAHost) {
    const TestPlugin& test = TestPlugin::get();
    host::InstanceOptions options;
    options.withCallback = false;
    auto instance = test.open({{5, 0, 0}, {0, 0, 1}}, std::nullopt, options);
    test.setProcess(*instance, 1);
    instance->process(0, 32);
    instance->sendStatus(0, host_protocol::PinStatus::OneShot);
    EXPECT_STREQ(test.trace(*instance).events, "a");
    EXPECT_EQ(instance->close(), 1);
}

}  // namespace
}  // namespace framework_test
