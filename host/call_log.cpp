#include "host/call_log.h"

#include <algorithm>
#include <mutex>

namespace host {

void CallLog::append(const HostCall& call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
}

void CallLog::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::vector<HostCall> CallLog::all() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<HostCall> CallLog::with(host_protocol::HostOpcode opcode) const {
    std::lock_guard lock(mutex_);
    std::vector<HostCall> matching;
    for (const HostCall& call : calls_) {
        if (call.opcode == static_cast<int32_t>(opcode)) matching.push_back(call);
    }
    return matching;
}

std::size_t CallLog::count(host_protocol::HostOpcode opcode) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        calls_.begin(), calls_.end(),
        [opcode](const HostCall& call) { return call.opcode == static_cast<int32_t>(opcode); }));
}

}  // namespace host
