// The expression module's process paths allocate nothing and make no system call, the
// compilation of a new Function text on the audio thread included.
//
// How the check works: after the plug-in is loaded, opened and warmed up, the test forks. The
// child counts every heap allocation (this program defines malloc and its relatives, which
// glibc's dynamic linker lets an executable do for every library it loads, the plug-in
// included, since ELF resolves the plug-in's malloc to the first definition in load order), then
// puts itself in seccomp strict mode, where any system call other than read, write and exit kills
// it, drives the process paths through the host, and exits with the number of allocations. The
// parent expects a normal exit with status 0. Linux only; sanitizer builds keep their own
// allocator and skip it.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "host/two_export_host.h"
#include "host_protocol/pin_properties.h"

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
#define PROCESS_SANDBOX 1
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {
volatile int32_t allocationCount = 0;
}

extern "C" {
void* malloc(size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_realloc(pointer, size);
}
void* memalign(size_t alignment, size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    allocationCount = allocationCount + 1;
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** pointer, size_t alignment, size_t size) {
    allocationCount = allocationCount + 1;
    *pointer = __libc_memalign(alignment, size);
    return *pointer != nullptr ? 0 : 12;  // ENOMEM
}
void free(void* pointer) {
    __libc_free(pointer);
}
}
#endif

namespace {

using host_protocol::PinStatus;

constexpr int32_t blockLength = 256;
constexpr int32_t functionPin = 0;
constexpr int32_t firstInputPin = 2;

// Texts the sandboxed child switches to by pointing the Function pin's variable at them, which
// costs the host nothing.
const char* const defaultText = "y = a + b + c + d";
const char* const newText = "sin(a * pi) * b + hypot(c, d) - floor(d * 3) % 2";
const char* const dividingText = "(x = a / b) + x % c";
std::string tooManyConstants() {
    std::string text = "a";
    for (int32_t n = 1; n <= 60; ++n) text += "+" + std::to_string(n);
    return text;
}

class ProcessSandbox : public testing::Test {
  protected:
    void SetUp() override {
#if !defined(PROCESS_SANDBOX)
        GTEST_SKIP() << "needs Linux seccomp and the process's own malloc";
#else
        if (!strictModeAvailable()) {
            GTEST_SKIP() << "seccomp strict mode is refused here (an emulator such as qemu-user)";
        }
        plugin_ = std::make_unique<host::TwoExportPlugin>(DALT_QUORVAL_PATH);
        instance_ = plugin_->create(host::InstanceOptions{.bufferCapacity = blockLength});
        instance_->setBlockSize(blockLength);
        instance_->open();
        for (int32_t input = 0; input < 4; ++input) {
            instance_->sendStatus(firstInputPin + input, PinStatus::Streaming);
        }
        functionVariable_ = instance_->describedPins()[functionPin].variable;
        streaming();
        // Everything the paths call is bound and touched once before the sandbox.
        for (const char* text : {defaultText, newText, dividingText, fallback_.c_str()}) {
            setText(text);
            instance_->process(0, blockLength);
        }
        setText(defaultText);
        instance_->process(0, blockLength);
#endif
    }

    void setText(const char* text) {
        std::memcpy(functionVariable_, &text, sizeof text);
    }

    // Values that change at every sample, with some zeros so that divisions fail in places.
    void streaming() {
        for (int32_t input = 0; input < 4; ++input) {
            const std::span<float> buffer = instance_->buffer(firstInputPin + input);
            for (int32_t i = 0; i < blockLength; ++i) {
                buffer[i] = (i % 7 == input) ? 0.0f : 0.01f * static_cast<float>(i + input + 1);
            }
        }
    }
    void held() {
        for (int32_t input = 0; input < 4; ++input) instance_->fill(firstInputPin + input, 0.0f);
    }

#if defined(PROCESS_SANDBOX)
    static bool strictModeAvailable() {
        const pid_t child = fork();
        if (child == 0) {
            syscall(SYS_exit, prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Runs `paths` in a child sandboxed as described at the top; answers the child's verdict.
    template <class Paths>
    testing::AssertionResult inSandbox(Paths paths) {
        const pid_t child = fork();
        if (child == 0) {
            allocationCount = 0;
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT);
            paths();
            syscall(SYS_exit, allocationCount < 100 ? allocationCount : 99);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFSIGNALED(status)) {
            return testing::AssertionFailure()
                   << "made a system call (ended by signal " << WTERMSIG(status) << ")";
        }
        const int code = WEXITSTATUS(status);
        if (code != 0) return testing::AssertionFailure() << code << " allocations";
        return testing::AssertionSuccess();
    }
#endif

    std::unique_ptr<host::TwoExportPlugin> plugin_;
    std::unique_ptr<host::TwoExportInstance> instance_;
    void* functionVariable_ = nullptr;
    const std::string fallback_ = tooManyConstants();
};

#if defined(PROCESS_SANDBOX)
TEST_F(ProcessSandbox, StreamingBatchesAndANewTextCompiledOnTheAudioThread) {
    EXPECT_TRUE(inSandbox([this] {
        instance_->process(0, blockLength);
        setText(newText);
        instance_->process(0, blockLength);
        setText(dividingText);
        instance_->process(0, blockLength);
        instance_->process(3, 100);
    }));
}

TEST_F(ProcessSandbox, HeldInputsAndTextsLeftToTheInterpreter) {
    held();
    EXPECT_TRUE(inSandbox([this] {
        instance_->process(0, blockLength);
        setText(fallback_.c_str());
        streaming();
        instance_->process(0, blockLength);
        setText(defaultText);
        instance_->process(0, blockLength);
    }));
}

// The check itself: an allocation in the child is seen.
TEST_F(ProcessSandbox, AnAllocationIsSeen) {
    EXPECT_FALSE(inSandbox([] {
        void* volatile block = std::malloc(16);
        std::free(block);
    }));
}
#endif

}  // namespace
