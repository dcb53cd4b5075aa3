// The trigger modules' process paths allocate nothing and make no system call: Kesh-Rnd drawing
// on Gate edges, Kesh Clock with a period that is not a whole number of samples, both over many
// blocks so that the clock's cycles end inside blocks and at their edges.
#include <gtest/gtest.h>

#include <memory>

#include "host/instance.h"
#include "tests/reliability/patched_instance.h"
#include "tests/reliability/process_sandbox.h"

namespace reliability {
namespace {

constexpr int kBlocks = 64;

class TriggerSandbox : public testing::TestWithParam<Library> {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_PROCESS_SANDBOX();
        instance_ = createInstance(GetParam());
        // Variant 2 runs the clock at 0.3 V: a period of 33.3 samples.
        patch(*instance_, GetParam(), 2);
        // The host logs every call the module makes; the same run before the sandbox leaves the
        // log room enough, so only the module could allocate in the child.
        processBlocks();
        instance_->calls().clear();
    }

    void processBlocks() {
        for (int block = 0; block < kBlocks; ++block) instance_->process(0, kBlock);
    }

    std::unique_ptr<host::Instance> instance_;
};

TEST_P(TriggerSandbox, StreamingBlocks) {
    auto paths = [this] { processBlocks(); };
    EXPECT_TRUE(inProcessSandbox(paths));
}

INSTANTIATE_TEST_SUITE_P(Libraries, TriggerSandbox,
                         testing::Values(Library::KeshRnd, Library::KeshClock), LibraryCaseName());

}  // namespace
}  // namespace reliability
