// What a careless host may send every library, through the real exports: each case must leave
// the host running and the module working. A bad event is judged against a twin instance that
// never got it: "ignored" means the outputs stay identical, sample for sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "host_protocol/dispatcher_opcodes.h"
#include "host_protocol/module_event.h"
#include "tests/reliability/patched_instance.h"

#if defined(__SANITIZE_ADDRESS__)
#define RELIABILITY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RELIABILITY_ASAN 1
#endif
#endif

#if defined(RELIABILITY_ASAN)
// An allocation that cannot be served answers null, as it does without the sanitizer.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}
#endif

#if defined(__linux__)
#include <sys/resource.h>
#endif

namespace reliability {
namespace {

using host_protocol::DispatcherOpcode;
using host_protocol::ModuleEvent;
using host_protocol::PinStatus;

constexpr int kBlocks = 8;

// Makes allocations of many gigabytes fail for its lifetime, whatever the machine's memory and
// overcommit policy. On the 32-bit targets they fail anyway: the size does not fit the address
// space. Under AddressSanitizer (which reserves a vast address space of its own) the allocator
// is told to answer null instead (above).
class AddressSpaceLimit {
  public:
#if defined(__linux__) && !defined(RELIABILITY_ASAN) && INTPTR_MAX == INT64_MAX
    AddressSpaceLimit() {
        getrlimit(RLIMIT_AS, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = std::min<rlim_t>(saved_.rlim_max, rlim_t{16} << 30);
        setrlimit(RLIMIT_AS, &limited);
    }
    ~AddressSpaceLimit() {
        setrlimit(RLIMIT_AS, &saved_);
    }

  private:
    rlimit saved_{};
#else
    AddressSpaceLimit() = default;
#endif
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;
};

struct BadEvent {
    const char* name;
    int32_t type;
    // The pin index, relative to the number of pins the library describes when `pastTable`.
    int64_t pin;
    bool pastTable;
    intptr_t data3;  // used instead of the pin for type 3
};

const BadEvent kBadEvents[] = {
    {"FirstIndexPastTable", 0, 0, true, 0},
    {"FarPastTable", 0, 1000, true, 0},
    {"NegativeIndex", 0, -1, false, 0},
    {"MostNegativeIndex", 0, std::numeric_limits<int32_t>::min(), false, 0},
    {"LargestIndex", 0, std::numeric_limits<int32_t>::max(), false, 0},
    // Type 3 carries a module-internal record; from the host it is a stray address.
    {"HostQueuedType3", 3, 0, false, 0x1234},
    {"HostQueuedType3Null", 3, 0, false, 0},
    {"UnknownType", 99, 0, false, 0},
};

class BadEventTest : public testing::TestWithParam<std::tuple<Library, BadEvent>> {};

TEST_P(BadEventTest, IsIgnored) {
    const auto& [library, bad] = GetParam();
    auto reference = createInstance(library);
    auto target = createInstance(library);
    patch(*reference, library);
    patch(*target, library);

    ModuleEvent event{};
    event.time = target->samplePosition();
    event.type = bad.type;
    event.data1 = static_cast<int32_t>(PinStatus::Streaming);
    event.data2 = 1;
    const int64_t described = static_cast<int64_t>(target->describedPins().size());
    event.data3 = bad.type == 3
                      ? bad.data3
                      : static_cast<intptr_t>(bad.pastTable ? described + bad.pin : bad.pin);
    target->deliverEvent(event);

    EXPECT_EQ(runBlocks(*target, library, kBlocks), runBlocks(*reference, library, kBlocks));
    EXPECT_EQ(target->close(), 1);
}

std::string badEventName(const testing::TestParamInfo<BadEventTest::ParamType>& info) {
    return libraryName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(AllLibraries, BadEventTest,
                         testing::Combine(testing::ValuesIn(kLibraries),
                                          testing::ValuesIn(kBadEvents)),
                         badEventName);

class LibraryTest : public testing::TestWithParam<Library> {};

// Events still queued at close are the instance's to release (LeakSanitizer watches the
// sanitizer build); the close itself answers as ever.
TEST_P(LibraryTest, ClosesWithEventsQueued) {
    const Library library = GetParam();
    auto instance = createInstance(library);
    patch(*instance, library);
    instance->process(0, kBlock);
    for (uint32_t ahead : {10u, 500u, 100000u, 0x7fffffffu}) {
        instance->sendStatus(0, PinStatus::OneShot, 0, instance->samplePosition() + ahead);
    }
    if (library != Library::DaltQuorval) {
        EXPECT_EQ(instance->dispatch(DispatcherOpcode::QueueEmpty), 0);
    }
    EXPECT_EQ(instance->close(), 1);
}

// No callback: every host call answers 0, so the module learns no pin count, no sample
// position and no buffer positions, yet it runs, reacts to pin changes long after its clock
// has passed the size of the host's buffers, and closes.
TEST_P(LibraryTest, RunsWithoutHostCallback) {
    const Library library = GetParam();
    auto instance = createInstance(library, host::InstanceOptions{.withCallback = false});
    patch(*instance, library);
    for (int block = 0; block < 20; ++block) {
        instance->process(0, kBlock);
        ASSERT_TRUE(outputsFollowRule(*instance, library, 0, kBlock)) << "block " << block;
        if (block % 5 == 4) {
            for (int32_t pin = 0; pin < static_cast<int32_t>(instance->describedPins().size());
                 ++pin) {
                instance->sendStatus(pin, PinStatus::OneShot);
            }
        }
    }
    EXPECT_TRUE(instance->calls().all().empty());
    EXPECT_EQ(instance->close(), 1);
}

// A host that keeps more pins than memory can hold: the pin table cannot be allocated, the
// open fails without pins, and the module still processes, takes events and closes.
TEST_P(LibraryTest, OpenWithoutMemoryForThePinTable) {
    const Library library = GetParam();
    auto instance = createInstance(library);
    instance->setPinCount(std::numeric_limits<int32_t>::max());
    {
        [[maybe_unused]] const AddressSpaceLimit limit;
        patch(*instance, library);
    }
    for (int block = 0; block < 4; ++block) {
        instance->sendStatus(block, PinStatus::OneShot);
        instance->process(0, kBlock);
        ASSERT_TRUE(outputsFollowRule(*instance, library, 0, kBlock)) << "block " << block;
    }
    EXPECT_EQ(instance->close(), 1);
}

INSTANTIATE_TEST_SUITE_P(AllLibraries, LibraryTest, testing::ValuesIn(kLibraries),
                         LibraryCaseName{});

// Function texts as a host may store them. The evaluator reads at most 299 characters, so a
// text is evaluated from its first 299 whatever its length, and a buffer of exactly 299
// characters needs no terminator.
constexpr int32_t kFunctionPin = 0;
constexpr int32_t kYPin = 6;
constexpr std::size_t kReadLimit = 299;

// "1+1+1...": 150 ones within the first 299 characters, so Y = 150 V × 0.1 = 15.
std::string onesSum(std::size_t length) {
    std::string text = "1";
    while (text.size() + 2 <= length) text += "+1";
    text.resize(length, ' ');
    return text;
}

struct FunctionTextCase {
    const char* name;
    // Stores the text into the Function pin's variable; may keep storage alive in `keep`.
    std::function<void(host::Instance&, std::vector<char>& keep)> store;
    float y;
};

void storeAddress(host::Instance& instance, const char* address) {
    std::memcpy(instance.describedPins()[kFunctionPin].variable, &address, sizeof address);
}

const FunctionTextCase kFunctionTexts[] = {
    {"ThousandCharacters",
     [](host::Instance& instance, std::vector<char>&) {
         instance.writeText(kFunctionPin, onesSum(1000));
     },
     15.0f},
    {"UnterminatedInBoundedBuffer",
     [](host::Instance& instance, std::vector<char>& keep) {
         const std::string text = onesSum(kReadLimit);
         keep.assign(text.begin(), text.end());  // no terminator: exactly the characters
         storeAddress(instance, keep.data());
     },
     15.0f},
    {"NullText",
     [](host::Instance& instance, std::vector<char>&) { storeAddress(instance, nullptr); }, 0.0f},
    {"BinaryText",
     [](host::Instance& instance, std::vector<char>&) {
         std::string text;
         for (int c = 1; c < 256; ++c) text += static_cast<char>(c);
         instance.writeText(kFunctionPin, text);
     },
     0.0f},
    {"ThousandOpenParentheses",
     [](host::Instance& instance, std::vector<char>&) {
         instance.writeText(kFunctionPin, std::string(1000, '('));
     },
     0.0f},
};

class FunctionTextTest : public testing::TestWithParam<FunctionTextCase> {};

TEST_P(FunctionTextTest, GivesTheValueOfItsFirstCharacters) {
    auto instance = createInstance(Library::DaltQuorval);
    instance->open();
    std::vector<char> keep;
    GetParam().store(*instance, keep);
    // All inputs stay at 0: the first processed sample evaluates, the rest reuse its value.
    instance->process(0, kBlock);
    for (int32_t i = 0; i < kBlock; ++i) ASSERT_EQ(instance->buffer(kYPin)[i], GetParam().y) << i;
    EXPECT_EQ(instance->close(), 1);
}

std::string functionTextName(const testing::TestParamInfo<FunctionTextCase>& parameter) {
    return parameter.param.name;
}

INSTANTIATE_TEST_SUITE_P(DaltQuorval, FunctionTextTest, testing::ValuesIn(kFunctionTexts),
                         functionTextName);

}  // namespace
}  // namespace reliability
