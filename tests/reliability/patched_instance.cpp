#include "tests/reliability/patched_instance.h"

#include <algorithm>
#include <cmath>

#include "host/single_export_host.h"
#include "host/two_export_host.h"

namespace reliability {

using host_protocol::PinStatus;

namespace {

// Pin indices as each library describes them.
namespace dalt {
constexpr int32_t kA = 2, kB = 3, kY = 6;
}
namespace rnd {
constexpr int32_t kGate = 0, kLevel = 1, kOutput = 2, kSeed = 3;
}
namespace clk {
constexpr int32_t kFreq = 0, kCycles = 2, kClock = 3, kImpulse = 4;
}

const host::TwoExportPlugin& daltQuorval() {
    static const host::TwoExportPlugin plugin(DALT_QUORVAL_PATH);
    return plugin;
}

const host::SingleExportPlugin& keshRnd() {
    static const host::SingleExportPlugin plugin(KESH_RND_PATH);
    return plugin;
}

const host::SingleExportPlugin& keshClock() {
    static const host::SingleExportPlugin plugin(KESH_CLOCK_PATH);
    return plugin;
}

bool isLogicLevel(float sample) {
    return sample == 0.0f || sample == 0.5f;
}

}  // namespace

std::string libraryName(Library library) {
    switch (library) {
        case Library::DaltQuorval:
            return "DaltQuorval";
        case Library::KeshRnd:
            return "KeshRnd";
        case Library::KeshClock:
            return "KeshClock";
    }
    return "Unknown";
}

std::unique_ptr<host::Instance> createInstance(Library library, host::InstanceOptions options) {
    if (options.bufferCapacity == 0) options.bufferCapacity = kBlock;
    switch (library) {
        case Library::DaltQuorval:
            return daltQuorval().create(options);
        case Library::KeshRnd:
            return keshRnd().create(options);
        case Library::KeshClock:
            return keshClock().create(options);
    }
    return nullptr;
}

int32_t outputPin(Library library) {
    switch (library) {
        case Library::DaltQuorval:
            return dalt::kY;
        case Library::KeshRnd:
            return rnd::kOutput;
        case Library::KeshClock:
            return clk::kClock;
    }
    return 0;
}

void patch(host::Instance& instance, Library library, int variant) {
    instance.setBlockSize(kBlock);
    switch (library) {
        case Library::DaltQuorval:
            instance.open();
            instance.writeText(0, "y = a * " + std::to_string(variant + 1) + " + b");
            instance.fill(dalt::kA, 0.1f);
            for (int32_t i = 0; i < kBlock; ++i) instance.buffer(dalt::kB)[i] = 0.01f * (i % 7);
            instance.sendStatus(dalt::kA, PinStatus::Streaming);
            instance.sendStatus(dalt::kB, PinStatus::Streaming);
            break;
        case Library::KeshRnd:
            instance.open();
            for (int32_t i = 0; i < kBlock; ++i) {
                instance.buffer(rnd::kGate)[i] = i % 4 == 0 ? 1.0f : 0.0f;
            }
            instance.fill(rnd::kLevel, 1.0f);
            // A seed given in volts makes the sequence repeatable.
            instance.fill(rnd::kSeed, 0.5f + 0.1f * static_cast<float>(variant));
            instance.sendStatus(rnd::kGate, PinStatus::Streaming);
            instance.sendStatus(rnd::kLevel, PinStatus::OneShot);
            break;
        case Library::KeshClock:
            // 100 samples per second: Freq 1 V is a period of 100 samples.
            instance.setSampleRate(100.0f);
            instance.open();
            instance.fill(clk::kFreq, 0.1f * static_cast<float>(variant % 5 + 1));
            instance.fill(clk::kCycles, 0.2f);
            instance.sendStatus(clk::kFreq, PinStatus::Streaming);
            break;
    }
}

bool outputsFollowRule(host::Instance& instance, Library library, int32_t start, int32_t count) {
    const auto inRange = [&](int32_t pin, auto rule) {
        const std::span<float> samples = instance.buffer(pin).subspan(start, count);
        return std::all_of(samples.begin(), samples.end(), rule);
    };
    switch (library) {
        case Library::DaltQuorval:
            return inRange(dalt::kY, [](float y) { return std::isfinite(y); });
        case Library::KeshRnd: {
            const std::span<float> level = instance.buffer(rnd::kLevel);
            const std::span<float> output = instance.buffer(rnd::kOutput);
            for (int32_t i = start; i < start + count; ++i) {
                if (std::fabs(output[i]) > 0.5f * std::fabs(level[i])) return false;
            }
            return true;
        }
        case Library::KeshClock:
            return inRange(clk::kClock, isLogicLevel) && inRange(clk::kImpulse, isLogicLevel);
    }
    return false;
}

std::vector<float> runBlocks(host::Instance& instance, Library library, int blocks) {
    std::vector<float> output;
    const int32_t pin = outputPin(library);
    for (int block = 0; block < blocks; ++block) {
        instance.process(0, kBlock);
        const std::span<float> samples = instance.buffer(pin);
        output.insert(output.end(), samples.begin(), samples.begin() + kBlock);
    }
    return output;
}

}  // namespace reliability
