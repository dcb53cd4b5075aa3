// The three plug-in libraries as the reliability tests drive them: each loaded once through its
// real exports, and instances patched so that their outputs move (inputs streaming, a seed
// given, a clock running), so a fault that disturbs the module shows in its output.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/instance.h"

namespace reliability {

enum class Library { DaltQuorval, KeshRnd, KeshClock };

inline constexpr Library kLibraries[] = {Library::DaltQuorval, Library::KeshRnd,
                                         Library::KeshClock};

// Samples per host block and per buffer.
inline constexpr int32_t kBlock = 64;

std::string libraryName(Library library);

// Names each case of a suite parameterised over Library after the library.
struct LibraryCaseName {
    std::string operator()(const testing::TestParamInfo<Library>& parameter) const {
        return libraryName(parameter.param);
    }
};

// An instance through the library's export; buffers of kBlock samples unless options say
// otherwise. The library is loaded on first use and stays loaded.
std::unique_ptr<host::Instance> createInstance(Library library, host::InstanceOptions options = {});

// The output pin whose samples the tests compare.
int32_t outputPin(Library library);

// Sample rate and block size, open, then inputs that keep the output moving and the status
// events that announce them (queued at the host's clock, so they take effect at the next block).
// `variant` changes the inputs, so that instances given different variants give different
// outputs.
void patch(host::Instance& instance, Library library, int variant = 0);

// False when an output sample of positions start .. start + count - 1 breaks the module's own
// rule: Dalt Quorval's Y must be finite for the patch's inputs, Kesh-Rnd's Output at most
// half of Level in magnitude, Kesh Clock's outputs 0 V or 5 V.
bool outputsFollowRule(host::Instance& instance, Library library, int32_t start, int32_t count);

// Processes `blocks` blocks of kBlock samples and answers the output pin's samples, in order.
std::vector<float> runBlocks(host::Instance& instance, Library library, int blocks);

}  // namespace reliability
