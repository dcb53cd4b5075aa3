// The record of every call a module instance makes to the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/host_mutex.h"
#include "host_protocol/host_callback.h"

namespace host {

// One host call as the module made it (the record argument and `opt` are not kept).
struct HostCall {
    int32_t opcode;
    int32_t index;
    int32_t value;
    int32_t data;

    bool operator==(const HostCall&) const = default;
};

// Calls in the order the module made them. Safe to append to from the thread that runs the
// instance while a test reads it from another, though tests normally read between calls.
class CallLog {
  public:
    void append(const HostCall& call);
    void clear();

    // Copies, so the caller may keep them while the instance goes on running.
    std::vector<HostCall> all() const;
    std::vector<HostCall> with(host_protocol::HostOpcode opcode) const;
    std::size_t count(host_protocol::HostOpcode opcode) const;

  private:
    mutable HostMutex mutex_;
    std::vector<HostCall> calls_;
};

}  // namespace host
