// Several instances of the module in one host: each evaluates its own text over its own inputs.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/expression_module/expression_rig.h"

namespace expression_test {
namespace {

struct Voice {
    const char* text;
    float a, b;
    float expectedY;
};

// Texts that assign to the other voice's names, so values shared between instances would show.
constexpr Voice kFirst{"b = a * 2", 0.25f, 0.0f, 0.5f};  // 2.5 V × 2
constexpr Voice kSecond{"a = b - 1", 0.0f, 0.3f, 0.2f};  // 3 V - 1 V

void prepare(ExpressionRig& rig, const Voice& voice) {
    rig.setFunction(voice.text);
    rig.setInputs(voice.a, voice.b, 0.0f, 0.0f);
}

TEST(Instances, AlternateCallsEachGiveTheirOwnOutput) {
    ExpressionRig first;
    ExpressionRig second;
    prepare(first, kFirst);
    prepare(second, kSecond);
    for (int32_t round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        for (float y : first.processY(0, 64)) ASSERT_EQ(y, kFirst.expectedY);
        for (float y : second.processY(0, 64)) ASSERT_EQ(y, kSecond.expectedY);
    }
}

TEST(Instances, OpeningOneLeavesTheOtherAlone) {
    ExpressionRig first;
    prepare(first, kFirst);
    EXPECT_EQ(first.processY(0, 64).back(), kFirst.expectedY);
    ExpressionRig second;
    prepare(second, kSecond);
    second.instance().dispatch(host_protocol::DispatcherOpcode::Open);
    for (float y : first.processY(0, 64)) ASSERT_EQ(y, kFirst.expectedY);
}

// Each instance owns its evaluator, so instances may even run on different threads at once.
TEST(Instances, InstancesOnTwoThreadsAtOnce) {
    ExpressionRig first;
    ExpressionRig second;
    prepare(first, kFirst);
    prepare(second, kSecond);
    auto run = [](ExpressionRig* rig, float expectedY, int32_t* wrong) {
        for (int32_t call = 0; call < 200; ++call) {
            for (float y : rig->processY(0, 64)) *wrong += y != expectedY ? 1 : 0;
        }
    };
    int32_t wrongFirst = 0;
    int32_t wrongSecond = 0;
    std::thread other(run, &second, kSecond.expectedY, &wrongSecond);
    run(&first, kFirst.expectedY, &wrongFirst);
    other.join();
    EXPECT_EQ(wrongFirst, 0);
    EXPECT_EQ(wrongSecond, 0);
}

}  // namespace
}  // namespace expression_test
