// What the host reads before it creates an instance: the module type and its seven pins.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "tests/expression_module/expression_rig.h"

namespace expression_test {
namespace {

using host_protocol::ModuleProperties;
using host_protocol::PinDataType;
using host_protocol::PinProperties;

TEST(ExpressionProperties, NameIdAndAboutAsTheHostShowsThem) {
    ModuleProperties props{};
    ASSERT_EQ(daltQuorval().getModuleProperties(0, &props), 1);
    EXPECT_STREQ(props.name, "Dalt-F Quorval");
    EXPECT_STREQ(props.id, "Dalt-F Quovral");
    EXPECT_STREQ(props.about,
                 "Dalt-F Quorval v1.0\n"
                 "\n"
                 "Valid operands\n"
                 "+, -, *, /, %, ^, =, (, )\n"
                 "\n"
                 "Valid functions\n"
                 "sin, asin, sinh, cos, acos, cosh, tan, atan, tanh, exp, log, log10, sqrt, "
                 "floor, ceil, abs, hypot, rad, deg, sgn");
    EXPECT_EQ(props.interfaceVersion, 2230);
}

TEST(ExpressionProperties, OnlyIndexZeroIsAModuleType) {
    ModuleProperties props{};
    EXPECT_EQ(daltQuorval().getModuleProperties(1, &props), 0);
    EXPECT_EQ(props.name, nullptr);
    EXPECT_EQ(props.interfaceVersion, 2230);
}

TEST(ExpressionPins, SevenPinsBoundToTheirOwnVariables) {
    struct ExpectedPin {
        const char* name;
        int32_t direction;
        PinDataType dataType;
        const char* defaultValue;
        const char* listText;
    };
    const ExpectedPin expected[] = {
        {"Function", 0, PinDataType::Text, "y = a + b + c + d", nullptr},
        {"Process", 0, PinDataType::Enumeration, "0", "Sample Rate=0,Sample Frames=1"},
        {"a", 0, PinDataType::Stream, "0", nullptr},
        {"b", 0, PinDataType::Stream, "0", nullptr},
        {"c", 0, PinDataType::Stream, "0", nullptr},
        {"d", 0, PinDataType::Stream, "0", nullptr},
        {"Y", 1, PinDataType::Stream, nullptr, nullptr},
    };
    static_assert(std::size(expected) == expression_module::kExpressionPinCount);
    ExpressionRig rig;

    std::vector<void*> variables;
    for (int32_t index = 0; index < expression_module::kExpressionPinCount; ++index) {
        SCOPED_TRACE(expected[index].name);
        PinProperties props{};
        ASSERT_TRUE(rig.instance().pinProperties(index, props));
        EXPECT_STREQ(props.name, expected[index].name);
        EXPECT_EQ(props.direction, expected[index].direction);
        EXPECT_EQ(props.dataType, static_cast<int32_t>(expected[index].dataType));
        EXPECT_STREQ(props.defaultValue, expected[index].defaultValue);
        EXPECT_STREQ(props.listText, expected[index].listText);
        EXPECT_EQ(props.flags, 0);
        ASSERT_NE(props.variable, nullptr);
        EXPECT_EQ(std::count(variables.begin(), variables.end(), props.variable), 0);
        variables.push_back(props.variable);
    }
    for (int32_t index : {7, 8, -1, -7}) {
        PinProperties props{};
        EXPECT_FALSE(rig.instance().pinProperties(index, props)) << index;
    }
}

}  // namespace
}  // namespace expression_test
