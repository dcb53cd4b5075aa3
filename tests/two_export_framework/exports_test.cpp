// The two exports and the record they hand out.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host_protocol/two_export_record.h"
#include "tests/two_export_framework/test_plugin.h"

namespace framework_test {
namespace {

using host_protocol::ModuleProperties;
using host_protocol::two_export::ModuleRecord;

const char kUntouched[] = "untouched";

ModuleProperties sentinelProperties() {
    ModuleProperties props{};
    props.name = kUntouched;
    props.id = kUntouched;
    props.about = kUntouched;
    props.interfaceVersion = -1;
    return props;
}

TEST(GetModuleProperties, IndexZeroFillsTextsAndVersion) {
    ModuleProperties props = sentinelProperties();
    EXPECT_EQ(TestPlugin::get().plugin().getModuleProperties(0, &props), 1);
    EXPECT_STREQ(props.name, "Framework Test");
    EXPECT_STREQ(props.id, "framework-test");
    EXPECT_STREQ(props.about, "Exercises the two-export framework");
    EXPECT_EQ(props.interfaceVersion, 2230);
}

class GetModulePropertiesOtherIndex : public ::testing::TestWithParam<int32_t> {};

TEST_P(GetModulePropertiesOtherIndex, WritesOnlyTheVersion) {
    ModuleProperties props = sentinelProperties();
    EXPECT_EQ(TestPlugin::get().plugin().getModuleProperties(GetParam(), &props), 0);
    EXPECT_EQ(props.name, kUntouched);
    EXPECT_EQ(props.id, kUntouched);
    EXPECT_EQ(props.about, kUntouched);
    EXPECT_EQ(props.interfaceVersion, 2230);
}

INSTANTIATE_TEST_SUITE_P(Indices, GetModulePropertiesOtherIndex, ::testing::Values(1, -1, 7));

struct Refusal {
    const char* name;
    int32_t index;
    int32_t kind;
};

class MakeModuleRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(MakeModuleRefusal, AnswersNullAndCreatesNothing) {
    const TestPlugin& test = TestPlugin::get();
    const int32_t before = test.constructedCount();
    EXPECT_EQ(test.plugin().makeModule(GetParam().index, GetParam().kind, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(test.constructedCount(), before);
}

INSTANTIATE_TEST_SUITE_P(Arguments, MakeModuleRefusal,
                         ::testing::Values(Refusal{"WrongKind", 0, 2}, Refusal{"WrongIndex", 1, 1},
                                           Refusal{"KindZero", 0, 0},
                                           Refusal{"NegativeIndex", -1, 1}),
                         CaseName{});

TEST(MakeModule, CreatesOneInstanceThatOpcodeOneDestroys) {
    const TestPlugin& test = TestPlugin::get();
    const int32_t before = test.constructedCount();
    ModuleRecord* record = test.plugin().makeModule(0, 1, nullptr, nullptr);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(test.constructedCount(), before + 1);
    EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
}

// The record as the host reads it: the 32-bit targets are checked word by word at the offsets
// the host uses; wider test builds check the same fields by name.
TEST(ModuleRecordLayout, FreshRecordHoldsMagicInstanceAndEntries) {
    const TestPlugin& test = TestPlugin::get();
    int hostData = 0;
    host::InstanceOptions options;
    options.hostData = &hostData;
    auto instance = test.create({}, options);
    const ModuleRecord* record = instance->record();
    void* const module = test.lastCreated();
    const auto empty = record->process;

    EXPECT_NE(empty, nullptr);
    EXPECT_NE(empty, test.processAddress(1));
    EXPECT_NE(empty, test.processAddress(2));
#if PROTOCOL_LAYOUT_32
    uint32_t words[12];
    static_assert(sizeof(words) == sizeof(ModuleRecord));
    std::memcpy(words, record, sizeof(words));
    EXPECT_EQ(words[0], 0x5345507bu);
    EXPECT_EQ(std::memcmp(words, "{PES", 4), 0);
    EXPECT_EQ(words[1], 1u);
    EXPECT_EQ(words[2], reinterpret_cast<uintptr_t>(&hostData));
    EXPECT_EQ(words[3], reinterpret_cast<uintptr_t>(module));
    EXPECT_EQ(words[4], 0u);
    EXPECT_EQ(words[5], reinterpret_cast<uintptr_t>(record->dispatcher));
    EXPECT_EQ(words[6], reinterpret_cast<uintptr_t>(empty));
    EXPECT_EQ(words[7], reinterpret_cast<uintptr_t>(record->eventHandler));
    for (int word = 8; word < 12; ++word) EXPECT_EQ(words[word], 0u) << word;
#else
    EXPECT_EQ(record->magic, 0x5345507bu);
    EXPECT_EQ(std::memcmp(record, "{PES", 4), 0);
    EXPECT_EQ(record->one, 1);
    EXPECT_EQ(record->hostData, &hostData);
    EXPECT_EQ(record->instance, module);
    EXPECT_EQ(record->reserved0, 0u);
    for (uint32_t word : record->reserved1) EXPECT_EQ(word, 0u);
#endif
    EXPECT_NE(record->dispatcher, nullptr);
    EXPECT_NE(record->eventHandler, nullptr);
    EXPECT_EQ(instance->moduleInstance(), module);
}

}  // namespace
}  // namespace framework_test
