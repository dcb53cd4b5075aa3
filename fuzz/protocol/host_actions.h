// A fuzzer input performed as a sequence of host actions on instances of one plug-in library,
// through its real exports. The project's host library answers the module's calls as a correct
// host would (pin count, sample position, buffer addresses and positions); the actions
// themselves are what a careless or hostile host might send: any sample rate and block size,
// events of any type for any pin at any time, any Function text, process calls of any length
// within the host's buffers, resumes with clock jumps, opcode 13 and unknown opcodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "host/instance.h"

namespace protocol_fuzz {

// The host's buffers hold this many samples; every process call stays inside them.
inline constexpr int32_t kBufferCapacity = 128;

// One plug-in library as the fuzzer sees it.
class PluginUnderTest {
  public:
    virtual ~PluginUnderTest() = default;
    // makeModule or main through the real export.
    virtual std::unique_ptr<host::Instance> create(const host::InstanceOptions& options) const = 0;
    virtual bool twoExportForm() const = 0;
    // Called after every process call that went through the host: false when an output
    // sample in positions start .. start + count - 1 breaks the module's own rule.
    virtual bool outputsValid(host::Instance& instance, int32_t start, int32_t count) const = 0;
};

// Performs the input; stops the process (__builtin_trap) when a protocol answer is wrong, so
// libFuzzer keeps the input as a crash.
void runHostActions(const PluginUnderTest& plugin, const uint8_t* data, std::size_t size);

}  // namespace protocol_fuzz
