// Drives one Dalt-F Quorval instance through the real library, as the host does: the host owns
// the buffers and the Function text, writes the pin variables and calls the record's process
// address.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "expression_plugin/module/expression_pins.h"
#include "host/two_export_host.h"

namespace expression_test {

using expression_module::ExpressionPin;

constexpr int32_t pinIndex(ExpressionPin pin) {
    return static_cast<int32_t>(pin);
}

// The loaded library, shared by every rig of the test program.
const host::TwoExportPlugin& daltQuorval();

// Names each case of a parameterised suite after its `name` field.
struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& parameter) const {
        return parameter.param.name;
    }
};

struct RigOptions {
    int32_t blockSize = 64;
    // The number of pins the host keeps (host opcode 14); unset: the seven described.
    std::optional<int32_t> hostPins;
    // False: the instance is opened without the host writing any pin variable first, so the
    // Function text and every stream buffer are left unset.
    bool writePins = true;

    RigOptions& withBlockSize(int32_t size) {
        blockSize = size;
        return *this;
    }
    RigOptions& withHostPins(int32_t count) {
        hostPins = count;
        return *this;
    }
    RigOptions& withoutPinsWritten() {
        writePins = false;
        return *this;
    }
};

class ExpressionRig {
  public:
    // Created, given the block size, and opened; every buffer holds blockSize samples.
    explicit ExpressionRig(const RigOptions& options = {});

    host::TwoExportInstance& instance() { return *instance_; }

    // The host's new text for the Function pin; the module reads it at its next evaluation.
    void setFunction(const std::string& text);
    // The text the Function pin's variable points at.
    std::string functionText();
    void setProcessMode(int16_t mode);

    void fill(ExpressionPin pin, float value) { instance_->fill(pinIndex(pin), value); }
    void setInputs(float a, float b, float c, float d);
    // Copies `samples` to the start of the pin's buffer.
    void setSamples(ExpressionPin pin, const std::vector<float>& samples);
    std::span<float> buffer(ExpressionPin pin) { return instance_->buffer(pinIndex(pin)); }
    // Stores the pin's buffer address, or a null pointer, in the pin's variable.
    void connect(ExpressionPin pin);
    void disconnect(ExpressionPin pin);

    // A status event for the pin, at the host's current position.
    void sendStatus(ExpressionPin pin, host_protocol::PinStatus status);

    void process(int32_t start, int32_t count) { instance_->process(start, count); }
    // Processes positions start to start + count - 1 and answers Y at those positions.
    std::vector<float> processY(int32_t start, int32_t count);

    std::size_t sleepRequests() const;
    std::vector<host::HostCall> reportedStatuses() const;

  private:
    void* pinVariable(ExpressionPin pin);

    std::unique_ptr<host::TwoExportInstance> instance_;
};

}  // namespace expression_test
