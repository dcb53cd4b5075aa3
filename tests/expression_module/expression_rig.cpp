#include "tests/expression_module/expression_rig.h"

#include <algorithm>
#include <cstring>

namespace expression_test {

using host_protocol::DispatcherOpcode;
using host_protocol::HostOpcode;

const host::TwoExportPlugin& daltQuorval() {
    static const host::TwoExportPlugin plugin(DALT_QUORVAL_PATH);
    return plugin;
}

ExpressionRig::ExpressionRig(const RigOptions& options)
    : instance_(daltQuorval().create(host::InstanceOptions{.bufferCapacity = options.blockSize})) {
    instance_->setBlockSize(options.blockSize);
    if (options.hostPins) instance_->setPinCount(*options.hostPins);
    if (options.writePins) {
        instance_->open();
    } else {
        instance_->describedPins();
        instance_->dispatch(DispatcherOpcode::Open);
    }
}

void ExpressionRig::setFunction(const std::string& text) {
    instance_->writeText(pinIndex(ExpressionPin::Function), text);
}

std::string ExpressionRig::functionText() {
    const char* text = nullptr;
    std::memcpy(&text, pinVariable(ExpressionPin::Function), sizeof(text));
    return text != nullptr ? text : "";
}

void ExpressionRig::setProcessMode(int16_t mode) {
    instance_->writeEnumeration(pinIndex(ExpressionPin::Process), mode);
}

void ExpressionRig::setInputs(float a, float b, float c, float d) {
    fill(ExpressionPin::A, a);
    fill(ExpressionPin::B, b);
    fill(ExpressionPin::C, c);
    fill(ExpressionPin::D, d);
}

void ExpressionRig::setSamples(ExpressionPin pin, const std::vector<float>& samples) {
    std::span<float> samplesOfPin = buffer(pin);
    std::copy_n(samples.begin(), std::min(samples.size(), samplesOfPin.size()),
                samplesOfPin.begin());
}

void ExpressionRig::connect(ExpressionPin pin) {
    float* address = buffer(pin).data();
    std::memcpy(pinVariable(pin), &address, sizeof(address));
}

void ExpressionRig::disconnect(ExpressionPin pin) {
    float* address = nullptr;
    std::memcpy(pinVariable(pin), &address, sizeof(address));
}

void ExpressionRig::sendStatus(ExpressionPin pin, host_protocol::PinStatus status) {
    instance_->sendStatus(pinIndex(pin), status);
}

std::vector<float> ExpressionRig::processY(int32_t start, int32_t count) {
    process(start, count);
    std::span<float> y =
        buffer(ExpressionPin::Y)
            .subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
    return {y.begin(), y.end()};
}

std::size_t ExpressionRig::sleepRequests() const {
    return instance_->calls().count(HostOpcode::SleepRequest);
}

std::vector<host::HostCall> ExpressionRig::reportedStatuses() const {
    return instance_->calls().with(HostOpcode::TransmitStatus);
}

void* ExpressionRig::pinVariable(ExpressionPin pin) {
    return instance_->describedPins().at(static_cast<std::size_t>(pinIndex(pin))).variable;
}

}  // namespace expression_test
