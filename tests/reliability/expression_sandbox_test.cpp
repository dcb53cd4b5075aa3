// The expression module's process paths allocate nothing and make no system call, the
// compilation of a new Function text on the audio thread included.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "host/two_export_host.h"
#include "host_protocol/pin_properties.h"
#include "tests/reliability/process_sandbox.h"

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
        SKIP_WITHOUT_PROCESS_SANDBOX();
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
    }

    void setText(const char* text) { std::memcpy(functionVariable_, &text, sizeof text); }

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

    template <class Paths>
    testing::AssertionResult inSandbox(Paths paths) {
        return reliability::inProcessSandbox(paths);
    }

    std::unique_ptr<host::TwoExportPlugin> plugin_;
    std::unique_ptr<host::TwoExportInstance> instance_;
    void* functionVariable_ = nullptr;
    const std::string fallback_ = tooManyConstants();
};

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

}  // namespace
