// Runs a bound patch as the host application does: sets sample rate and block size, opens every
// instance, processes the instances in connection order block by block, delivers timed pin
// changes at their exact samples, forwards each output's reported status to the inputs connected
// to it, lets modules that asked to sleep sleep, and closes every instance at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bound_patch.h"
#include "recording.h"

namespace patch {

struct InstanceReport {
    std::string name;
    std::string moduleName;
    uint64_t statusReports = 0;     // host opcode 0
    uint64_t sleepRequests = 0;     // host opcode 10
    uint64_t processedSamples = 0;  // samples the module computed itself (not held while asleep)
    double processSeconds = 0.0;    // time spent in the module's process entry
    bool asleepAtEnd = false;
};

struct RenderResult {
    Recording recording;
    std::vector<InstanceReport> instances;  // in processing order
};

// Throws host::LoadError when a plug-in refuses to create an instance, PatchError when a signal
// file cannot be read.
RenderResult renderPatch(const BoundPatch& patch);

}  // namespace patch
