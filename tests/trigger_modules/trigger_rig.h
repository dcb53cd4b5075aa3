// Drives one instance of a trigger plug-in through its real export, as the host does: buffers
// owned by the host, events queued ahead of time, blocks through the record's process entry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/single_export_host.h"

namespace trigger_test {

// An instance created by `main`, given the sample rate and block size, then opened with the
// host's clock at `startPosition`. Every stream buffer holds `blockSize` samples; each block is
// processed from buffer position 0.
class TriggerRig {
  public:
    TriggerRig(const std::string& pluginPath, int32_t blockSize, float sampleRate = 44100.0f,
               uint32_t startPosition = 0);

    host::SingleExportInstance& instance() { return *instance_; }
    int32_t blockSize() const { return blockSize_; }

    // Writes `samples` at the start of the pin's buffer and zeroes the rest.
    void setSamples(int32_t pin, const std::vector<float>& samples);
    void fill(int32_t pin, float value) { instance_->fill(pin, value); }
    // A status event for `pin` at `offset` samples from the host's current position.
    void sendStatusAt(int32_t pin, host_protocol::PinStatus status, uint32_t offset,
                      int32_t value = 0);

    // One block of `count` samples; answers the pin's first `count` output samples.
    std::vector<float> processBlock(int32_t pin, int32_t count);
    void process(int32_t count) { instance_->process(0, count); }
    std::vector<float> samples(int32_t pin, int32_t count);

    std::size_t sleepRequests() const;
    // The statuses the module reported, in order.
    std::vector<host::HostCall> reportedStatuses() const;

  private:
    host::SingleExportPlugin plugin_;
    std::unique_ptr<host::SingleExportInstance> instance_;
    int32_t blockSize_;
};

// Pin index as the host sees it.
template <class PinEnum>
constexpr int32_t pinIndex(PinEnum pin) {
    return static_cast<int32_t>(pin);
}

}  // namespace trigger_test
