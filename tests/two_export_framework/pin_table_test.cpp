// Building the Pin table from the module's descriptions and the host's pin count.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host_protocol/pin_properties.h"
#include "tests/two_export_framework/test_plugin.h"

namespace framework_test {
namespace {

using host_protocol::HostOpcode;

constexpr int32_t kEnumeration = 0;
constexpr int32_t kText = 1;
constexpr int32_t kBoolean = 4;
constexpr int32_t kStream = 5;
constexpr int32_t kInteger = 6;
constexpr int32_t kWord = 8;
constexpr int32_t kRepeat = 0x8;
constexpr int32_t kHidden = 0x400;
constexpr int32_t kKept = 0x8000;

// What one place of the table should hold.
struct Place {
    enum Kind {
        Bound,       // the module's variable of `description`
        OwnStorage,  // the Pin's own storage; a Stream holds the host's buffer for the place
        NoValue,     // initialised, but the data type has no value address
        Inert,       // no description reached it
    } kind;
    int32_t description = -1;
};

Place bound(int32_t description) {
    return {Place::Bound, description};
}
constexpr Place kOwn{Place::OwnStorage};
constexpr Place kNoValue{Place::NoValue};
constexpr Place kInert{Place::Inert};

std::vector<TestPinSpec> sevenVariables() {
    return {{kStream, 0, 1},  {kStream, 0, 1},  {kEnumeration, 0, 1}, {kText, 0, 1},
            {kInteger, 0, 1}, {kBoolean, 0, 1}, {kStream, 0, 1}};
}

std::vector<TestPinSpec> withFlags(std::vector<TestPinSpec> specs, std::size_t which,
                                   int32_t flags) {
    specs[which].flags = flags;
    return specs;
}

struct PinTableCase {
    const char* name;
    std::vector<TestPinSpec> specs;
    int32_t hostPins;
    std::vector<Place> places;  // exactly the table the host's pin count makes
};

class PinTable : public ::testing::TestWithParam<PinTableCase> {};

TEST_P(PinTable, BindsPlacesInOrder) {
    const TestPlugin& test = TestPlugin::get();
    const PinTableCase& param = GetParam();
    auto instance = test.open(param.specs, param.hostPins);
    const auto& described = instance->describedPins();
    ASSERT_EQ(described.size(), param.specs.size());

    for (int32_t place = 0; place < static_cast<int32_t>(param.places.size()); ++place) {
        SCOPED_TRACE("place " + std::to_string(place));
        const std::optional<TestPinInfo> pin = test.pin(*instance, place);
        ASSERT_TRUE(pin.has_value());
        const Place& expected = param.places[place];
        if (expected.kind == Place::Inert) {
            EXPECT_EQ(pin->hasOwner, 0);
            EXPECT_EQ(pin->variable, nullptr);
            continue;
        }
        EXPECT_EQ(pin->hasOwner, 1);
        EXPECT_EQ(pin->index, place);
        EXPECT_EQ(pin->status, 0);
        switch (expected.kind) {
            case Place::Bound:
                EXPECT_EQ(pin->variable, described[expected.description].variable);
                EXPECT_EQ(pin->dataType, described[expected.description].dataType);
                break;
            case Place::OwnStorage:
                EXPECT_NE(pin->variable, nullptr);
                for (const auto& props : described) EXPECT_NE(pin->variable, props.variable);
                if (pin->dataType == kStream) {
                    EXPECT_EQ(pin->value,
                              reinterpret_cast<intptr_t>(instance->buffer(place).data()));
                } else {
                    EXPECT_EQ(pin->value, 0);
                }
                break;
            case Place::NoValue:
                EXPECT_EQ(pin->variable, nullptr);
                break;
            case Place::Inert:
                break;
        }
    }
    EXPECT_FALSE(test.pin(*instance, static_cast<int32_t>(param.places.size())).has_value());
}

std::vector<Place> boundInOrder(int32_t count) {
    std::vector<Place> places;
    for (int32_t description = 0; description < count; ++description) {
        places.push_back(bound(description));
    }
    return places;
}

std::vector<Place> concat(std::vector<Place> first, const std::vector<Place>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PinTable,
    ::testing::Values(
        PinTableCase{"SevenDescribedSevenKept", sevenVariables(), 7, boundInOrder(7)},
        PinTableCase{"HostKeepsFewer", sevenVariables(), 5, boundInOrder(5)},
        PinTableCase{"HiddenDescriptionTakesNoPlace",
                     withFlags(sevenVariables(), 2, kHidden),
                     7,
                     {bound(0), bound(1), bound(3), bound(4), bound(5), bound(6), kInert}},
        PinTableCase{"HiddenButKeptTakesItsPlace", withFlags(sevenVariables(), 2, kHidden | kKept),
                     7, boundInOrder(7)},
        PinTableCase{"LastStreamRepeatedOverExtraPlaces", withFlags(sevenVariables(), 6, kRepeat),
                     9, concat(boundInOrder(7), {kOwn, kOwn})},
        PinTableCase{"ExtraPlacesInertWithoutRepeat", sevenVariables(), 9,
                     concat(boundInOrder(7), {kInert, kInert})},
        PinTableCase{"HiddenLastDescriptionIsNotRepeated",
                     withFlags(sevenVariables(), 6, kRepeat | kHidden), 9,
                     concat(boundInOrder(6), {kInert, kInert, kInert})},
        PinTableCase{"OwnStorageByDataType",
                     {{kStream, 0, 0},
                      {kEnumeration, 0, 0},
                      {kBoolean, 0, 0},
                      {kInteger, 0, 0},
                      {kWord, 0, 0},
                      {kText, 0, 0},
                      {3, 0, 0}},
                     7,
                     {kOwn, kOwn, kOwn, kOwn, kOwn, kNoValue, kNoValue}},
        PinTableCase{"HostKeepsNone", sevenVariables(), 0, {}},
        PinTableCase{"NegativeHostCount", sevenVariables(), -4, {}},
        PinTableCase{"NothingDescribed", {}, 3, {kInert, kInert, kInert}}),
    CaseName{});

TEST(PinTableHostCalls, RepeatedStreamsAskTheHostForTheirBuffers) {
    auto instance = TestPlugin::get().open(withFlags(sevenVariables(), 6, kRepeat), 9);
    const auto asked = instance->calls().with(HostOpcode::PinValue);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].index, 7);
    EXPECT_EQ(asked[1].index, 8);
}

TEST(PinTableHostCalls, StreamWithoutVariableGetsTheHostsChosenValue) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.create({{kEnumeration, 0, 1}, {kStream, 0, 0}});
    static float chosen[8];
    instance->setPinValue(1, reinterpret_cast<intptr_t>(chosen));
    instance->open();
    EXPECT_EQ(test.pin(*instance, 1)->value, reinterpret_cast<intptr_t>(chosen));
    EXPECT_EQ(instance->calls().count(HostOpcode::PinValue), 1u);
}

TEST(PinTableReopen, SecondOpenReplacesTheTable) {
    const TestPlugin& test = TestPlugin::get();
    auto instance = test.open(sevenVariables(), 3);
    instance->setPinCount(7);
    instance->open();
    const auto& described = instance->describedPins();
    for (int32_t place = 0; place < 7; ++place) {
        EXPECT_EQ(test.pin(*instance, place)->variable, described[place].variable) << place;
    }
    instance->setPinCount(2);
    instance->open();
    EXPECT_FALSE(test.pin(*instance, 2).has_value());
}

TEST(PinTableNullCallback, OpensWithNoPins) {
    const TestPlugin& test = TestPlugin::get();
    host::InstanceOptions options;
    options.withCallback = false;
    auto instance = test.open(sevenVariables(), std::nullopt, options);
    EXPECT_FALSE(test.pin(*instance, 0).has_value());
    EXPECT_TRUE(instance->calls().all().empty());
}

}  // namespace
}  // namespace framework_test
