// What the dispatcher answers and does per opcode.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host_protocol/two_export_record.h"
#include "tests/two_export_framework/test_plugin.h"

namespace framework_test {
namespace {

using host_protocol::DispatcherOpcode;
using host_protocol::two_export::ModuleRecord;
using host_protocol::two_export::ProcessFunctionInfo;

struct Unhandled {
    const char* name;
    int32_t opcode;
};

class UnhandledOpcode : public ::testing::TestWithParam<Unhandled> {};

TEST_P(UnhandledOpcode, AnswersZeroAndChangesNothing) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open({{5, 0, 1}, {0, 0, 1}});
    unsigned char before[sizeof(ModuleRecord)];
    std::memcpy(before, instance->record(), sizeof(before));
    instance->calls().clear();

    // A non-null ptr that a careless handler would write through.
    unsigned char scratch[64] = {};
    EXPECT_EQ(instance->dispatch(GetParam().opcode, 3, 4, scratch, 1.5f), 0);

    EXPECT_EQ(std::memcmp(before, instance->record(), sizeof(before)), 0);
    for (unsigned char byte : scratch) EXPECT_EQ(byte, 0);
    EXPECT_TRUE(instance->calls().all().empty());
    EXPECT_STREQ(test.trace(*instance).events, "");
}

INSTANTIATE_TEST_SUITE_P(Opcodes, UnhandledOpcode,
                         ::testing::Values(Unhandled{"Query4", 4}, Unhandled{"Query5", 5},
                                           Unhandled{"QueueEvent", 7},
                                           Unhandled{"GetModuleProperties", 9},
                                           Unhandled{"QueueEmpty", 10}, Unhandled{"Opcode11", 11},
                                           Unhandled{"Unknown14", 14}, Unhandled{"Unknown99", 99},
                                           Unhandled{"Negative", -1}),
                         CaseName{});

TEST(Dispatcher, CloseAnswersOne) {
    auto instance = TestPlugin::get().open({{5, 0, 1}});
    EXPECT_EQ(instance->close(), 1);
}

TEST(Dispatcher, PinPropertiesAnswerOneUntilThePastTheLastPin) {
    auto instance = TestPlugin::get().create({{5, 0, 1}, {0, 0x400, 0}});
    host_protocol::PinProperties props;
    EXPECT_TRUE(instance->pinProperties(0, props));
    EXPECT_EQ(props.dataType, 5);
    EXPECT_TRUE(instance->pinProperties(1, props));
    EXPECT_EQ(props.flags, 0x400);
    EXPECT_FALSE(instance->pinProperties(2, props));
    EXPECT_FALSE(instance->pinProperties(-1, props));
    EXPECT_EQ(instance->dispatch(DispatcherOpcode::GetPinProperties, 0, 0, nullptr), 0);
}

struct Resume {
    const char* name;
    int32_t index;
    const char* events;
    int32_t resumeWithIndex;
};

class ResumeOpcode : public ::testing::TestWithParam<Resume> {};

TEST_P(ResumeOpcode, ResumesThenResumesWithPositiveIndex) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open({});
    EXPECT_EQ(instance->dispatch(DispatcherOpcode::Resume, GetParam().index), 0);
    const TestTrace trace = test.trace(*instance);
    EXPECT_STREQ(trace.events, GetParam().events);
    EXPECT_EQ(trace.resumeWithIndex, GetParam().resumeWithIndex);
}

INSTANTIATE_TEST_SUITE_P(Indices, ResumeOpcode,
                         ::testing::Values(Resume{"IndexZero", 0, "R", 0},
                                           Resume{"IndexFive", 5, "RW", 5},
                                           Resume{"NegativeIndex", -3, "R", 0}),
                         CaseName{});

// The host reads the shared record as 32-bit words on the targets it loads.
struct InfoWords {
    int32_t one;
    int32_t slotSize;
    const void* slot;
    int32_t zero;
};

InfoWords readInfo(intptr_t address) {
    const auto* info = reinterpret_cast<const ProcessFunctionInfo*>(address);
#if PROTOCOL_LAYOUT_32
    uint32_t words[4];
    std::memcpy(words, info, sizeof(words));
    return {static_cast<int32_t>(words[0]), static_cast<int32_t>(words[1]),
            reinterpret_cast<const void*>(words[2]), static_cast<int32_t>(words[3])};
#else
    return {info->one, info->slotSize, info->slot, info->zero};
#endif
}

TEST(ProcessFunctionInfoOpcode, OneSharedRecordNamingTheLastAskersSlot) {
    const TestPlugin& test = TestPlugin::get();
    auto first = test.open({});
    auto second = test.open({});
    test.setProcess(*first, 1);
    test.setProcess(*second, 2);

    const intptr_t firstAnswer = first->dispatch(DispatcherOpcode::ProcessFunctionInfo);
    ASSERT_NE(firstAnswer, 0);
    const InfoWords forFirst = readInfo(firstAnswer);
    EXPECT_EQ(forFirst.one, 1);
    EXPECT_EQ(forFirst.slotSize, 16);
    EXPECT_EQ(forFirst.zero, 0);
    const auto* firstSlot =
        static_cast<const host_protocol::two_export::ProcessFunctionSlot*>(forFirst.slot);
    EXPECT_EQ(firstSlot->function, test.processAddress(1));
    EXPECT_EQ(firstSlot->function, first->record()->process);
    for (uint32_t word : firstSlot->zero) EXPECT_EQ(word, 0u);

    const intptr_t secondAnswer = second->dispatch(DispatcherOpcode::ProcessFunctionInfo);
    EXPECT_EQ(secondAnswer, firstAnswer);
    const InfoWords forSecond = readInfo(secondAnswer);
    EXPECT_NE(forSecond.slot, forFirst.slot);
    const auto* secondSlot =
        static_cast<const host_protocol::two_export::ProcessFunctionSlot*>(forSecond.slot);
    EXPECT_EQ(secondSlot->function, test.processAddress(2));
    EXPECT_EQ(secondSlot->function, second->record()->process);
}

}  // namespace
}  // namespace framework_test
