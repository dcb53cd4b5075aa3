#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "expression_plugin/evaluator/function_table.h"
#include "expression_plugin/evaluator/variable_table.h"

namespace expression {
namespace {

constexpr double pi = 3.141592653589793;
constexpr double e = 2.718281828459045;

int usedSlotCount(const VariableTable& table) {
    int used = 0;
    for (const VariableEntry& slot : table.slots()) {
        used += slot.name[0] != '\0';
    }
    return used;
}

bool sameBytes(const VariableTable& x, const VariableTable& y) {
    return std::memcmp(x.slots().data(), y.slots().data(), sizeof(VariableTable::Slots)) == 0;
}

// A table with every slot in use: v0 = 0 ... v49 = 49.
VariableTable fullTable() {
    VariableTable table;
    for (int i = 0; i < variableSlotCount; ++i) {
        EXPECT_TRUE(table.setVariable(("v" + std::to_string(i)).c_str(), i));
    }
    return table;
}

TEST(VariableTable, StoreTakesTheLowestFreeSlotAfterRemovingTheName) {
    VariableTable table;
    ASSERT_TRUE(table.setVariable("a", 1));
    ASSERT_TRUE(table.setVariable("b", 2));
    ASSERT_TRUE(table.setVariable("c", 3));
    ASSERT_TRUE(table.clearVariable("a"));

    // "c" leaves slot 2 and lands in slot 0, the lowest free one.
    ASSERT_TRUE(table.setVariable("c", 30));
    EXPECT_STREQ(table.slots()[0].name, "c");
    EXPECT_EQ(table.slots()[0].value, 30);
    EXPECT_STREQ(table.slots()[1].name, "b");
    EXPECT_EQ(table.slots()[2].name[0], '\0');
    EXPECT_EQ(usedSlotCount(table), 2);

    ASSERT_TRUE(table.setVariable("d", 4));
    EXPECT_STREQ(table.slots()[2].name, "d");
}

TEST(VariableTable, FullTableRefusesANewNameAndChangesNothing) {
    VariableTable table = fullTable();
    const VariableTable before = table;
    EXPECT_FALSE(table.setVariable("new", 1));
    EXPECT_TRUE(sameBytes(table, before));
}

TEST(VariableTable, FullTableStillReplacesAnExistingName) {
    VariableTable table = fullTable();
    EXPECT_TRUE(table.setVariable("v37", -5));
    double value = 0;
    ASSERT_TRUE(table.lookupName("v37", value));
    EXPECT_EQ(value, -5);
    EXPECT_EQ(usedSlotCount(table), variableSlotCount);
}

TEST(VariableTable, LongNamesAreStoredAsTheirFifteenCharacterPrefix) {
    VariableTable table;
    ASSERT_TRUE(table.setVariable("abcdefghijklmnopqrst", 1));
    EXPECT_STREQ(table.slots()[0].name, "abcdefghijklmno");

    double value = 0;
    EXPECT_FALSE(table.lookupName("abcdefghijklmnopqrst", value));
    ASSERT_TRUE(table.lookupName("abcdefghijklmno", value));
    EXPECT_EQ(value, 1);

    // Storing the long name again replaces the stored prefix instead of adding a stale twin.
    ASSERT_TRUE(table.setVariable("abcdefghijklmnopqrst", 2));
    EXPECT_EQ(usedSlotCount(table), 1);
    ASSERT_TRUE(table.lookupName("abcdefghijklmno", value));
    EXPECT_EQ(value, 2);
}

TEST(VariableTable, VariablesHideConstantsWhileTheyExist) {
    VariableTable table;
    double value = 0;
    ASSERT_TRUE(table.lookupName("pi", value));
    EXPECT_EQ(value, pi);
    ASSERT_TRUE(table.lookupName("e", value));
    EXPECT_EQ(value, e);

    ASSERT_TRUE(table.setVariable("pi", 3));
    ASSERT_TRUE(table.lookupName("pi", value));
    EXPECT_EQ(value, 3);

    ASSERT_TRUE(table.clearVariable("pi"));
    ASSERT_TRUE(table.lookupName("pi", value));
    EXPECT_EQ(value, pi);
}

TEST(VariableTable, MissingNamesAreReportedAndChangeNothing) {
    VariableTable table;
    ASSERT_TRUE(table.setVariable("x", 1));
    const VariableTable before = table;

    EXPECT_FALSE(table.clearVariable("y"));
    EXPECT_FALSE(table.clearVariable("X"));  // names compare case-sensitively
    EXPECT_TRUE(sameBytes(table, before));

    double value = 42;
    EXPECT_FALSE(table.lookupName("y", value));
    EXPECT_FALSE(table.lookupName("", value));
    EXPECT_FALSE(table.lookupName("p", value));  // a prefix of a constant is not the constant
    EXPECT_EQ(value, 42);
}

TEST(VariableTable, ClearAllFreesEverySlotAndZeroesTheValues) {
    VariableTable table = fullTable();
    table.clearAllVariables();
    for (const VariableEntry& slot : table.slots()) {
        EXPECT_EQ(slot.name[0], '\0');
        EXPECT_EQ(slot.value, 0);
    }
    double value = 0;
    EXPECT_FALSE(table.lookupName("v0", value));
    EXPECT_TRUE(table.setVariable("a", 1));
    EXPECT_STREQ(table.slots()[0].name, "a");
}

TEST(FunctionTable, HoldsTheTwentyFunctionsInDocumentedOrder) {
    const struct {
        const char* name;
        int32_t argumentCount;
    } expected[] = {
        {"sin", 1},  {"cos", 1},   {"tan", 1},  {"asin", 1},  {"acos", 1},
        {"atan", 1}, {"sinh", 1},  {"cosh", 1}, {"tanh", 1},  {"exp", 1},
        {"log", 1},  {"log10", 1}, {"sqrt", 1}, {"floor", 1}, {"ceil", 1},
        {"abs", 1},  {"hypot", 2}, {"deg", 1},  {"rad", 1},   {"sgn", 1},
    };
    for (int i = 0; i < functionCount; ++i) {
        EXPECT_STREQ(functionTable[i].name, expected[i].name);
        EXPECT_EQ(functionTable[i].argumentCount, expected[i].argumentCount);
        EXPECT_EQ(findFunction(expected[i].name), &functionTable[i]);
    }
    EXPECT_STREQ(functionTable[functionCount].name, "");
    EXPECT_EQ(functionTable[functionCount].function, nullptr);
}

TEST(FunctionTable, FindsNothingForNamesOutsideTheTable) {
    for (const char* name : {"ln", "pow", "min", "atan2", "", "SIN", "si", "sine"}) {
        EXPECT_EQ(findFunction(name), nullptr) << name;
    }
}

double call(const char* name, double x, double y = 0) {
    const FunctionEntry* entry = findFunction(name);
    const double arguments[2] = {x, y};
    return entry->function(arguments);
}

TEST(FunctionTable, ConversionAndSignFunctionsAreExact) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(call("deg", pi), 180.0);
    EXPECT_EQ(call("rad", 180), pi);
    EXPECT_EQ(call("deg", 1), 57.29577951308232);
    EXPECT_EQ(call("rad", 1), 0.017453292519943295);
    EXPECT_EQ(call("sin", call("rad", 90)), 1.0);
    EXPECT_EQ(call("sgn", 0.0), 1.0);
    EXPECT_EQ(call("sgn", -0.0), 1.0);
    EXPECT_EQ(call("sgn", -2), -1.0);
    EXPECT_EQ(call("sgn", 1e-300), 1.0);
    EXPECT_EQ(call("sgn", nan), -1.0);
    EXPECT_EQ(call("abs", -2.5), 2.5);
    EXPECT_EQ(call("hypot", 3, 4), 5.0);
    EXPECT_TRUE(std::isnan(call("sqrt", -1)));
}

}  // namespace
}  // namespace expression
