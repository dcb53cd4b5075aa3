#include "tests/trigger_modules/trigger_rig.h"

#include <algorithm>

namespace trigger_test {

using host_protocol::HostOpcode;

TriggerRig::TriggerRig(const std::string& pluginPath, int32_t blockSize, float sampleRate,
                       uint32_t startPosition)
    : plugin_(pluginPath),
      instance_(plugin_.create(host::InstanceOptions{.bufferCapacity = blockSize})),
      blockSize_(blockSize) {
    instance_->setSampleRate(sampleRate);
    instance_->setBlockSize(blockSize);
    instance_->setSamplePosition(startPosition);
    instance_->open();
}

void TriggerRig::setSamples(int32_t pin, const std::vector<float>& samples) {
    std::span<float> buffer = instance_->buffer(pin);
    std::fill(buffer.begin(), buffer.end(), 0.0f);
    std::copy_n(samples.begin(), std::min(samples.size(), buffer.size()), buffer.begin());
}

void TriggerRig::sendStatusAt(int32_t pin, host_protocol::PinStatus status, uint32_t offset,
                              int32_t value) {
    instance_->sendStatus(pin, status, value, instance_->samplePosition() + offset);
}

std::vector<float> TriggerRig::processBlock(int32_t pin, int32_t count) {
    process(count);
    return samples(pin, count);
}

std::vector<float> TriggerRig::samples(int32_t pin, int32_t count) {
    std::span<float> buffer = instance_->buffer(pin);
    return {buffer.begin(), buffer.begin() + count};
}

std::size_t TriggerRig::sleepRequests() const {
    return instance_->calls().count(HostOpcode::SleepRequest);
}

std::vector<host::HostCall> TriggerRig::reportedStatuses() const {
    return instance_->calls().with(HostOpcode::TransmitStatus);
}

}  // namespace trigger_test
