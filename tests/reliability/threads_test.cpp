// Instances of every library run on two threads at once: each instance owns all its state (the
// expression evaluator and its tables included), so what one thread's instances output must be
// exactly what they output when run alone. Under ThreadSanitizer (the tsan preset) the run must
// also draw no report. Opcode 13 is left out: its record is shared by the whole library.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/reliability/patched_instance.h"

namespace reliability {
namespace {

constexpr int kInstancesPerLibrary = 4;
constexpr int kBlocks = 200;

using Outputs = std::vector<std::vector<float>>;

// One thread's share: instances of all three libraries, created, patched, processed block by
// block in turn and closed; `variantBase` keeps the two threads' patches different.
Outputs runShare(int variantBase) {
    struct Running {
        Library library;
        std::unique_ptr<host::Instance> instance;
        std::vector<float> output;
    };
    std::vector<Running> running;
    for (Library library : kLibraries) {
        for (int n = 0; n < kInstancesPerLibrary; ++n) {
            running.push_back({library, createInstance(library), {}});
            patch(*running.back().instance, library, variantBase + n);
        }
    }
    for (int block = 0; block < kBlocks; ++block) {
        for (Running& entry : running) {
            const std::vector<float> samples = runBlocks(*entry.instance, entry.library, 1);
            entry.output.insert(entry.output.end(), samples.begin(), samples.end());
        }
    }
    Outputs outputs;
    for (Running& entry : running) {
        entry.instance->close();
        outputs.push_back(std::move(entry.output));
    }
    return outputs;
}

TEST(ThreadsTest, InstancesOnTwoThreadsGiveTheirSingleThreadedOutput) {
    const Outputs aloneFirst = runShare(0);
    const Outputs aloneSecond = runShare(10);

    std::atomic<bool> go{false};
    Outputs first;
    Outputs second;
    std::thread other([&] {
        while (!go.load()) std::this_thread::yield();
        second = runShare(10);
    });
    go.store(true);
    first = runShare(0);
    other.join();

    EXPECT_EQ(first, aloneFirst);
    EXPECT_EQ(second, aloneSecond);
}

}  // namespace
}  // namespace reliability
