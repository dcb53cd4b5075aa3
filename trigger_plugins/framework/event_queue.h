// The instance's time-ordered queue of pending events.
#pragma once

#include <cstdint>

#include "host_protocol/module_event.h"

namespace trigger_framework {

// Signed distance from `now` to `time` on the wrapping 32-bit sample clock: negative for a time
// already passed. Comparing distances instead of raw positions keeps the order right when a
// block crosses 2^32.
inline int32_t samplesAhead(uint32_t time, uint32_t now) {
    return static_cast<int32_t>(time - now);
}

// Owns nothing but the links: the caller allocates each node before `insert` and releases it
// after `popFront` (a node's payload may need releasing too, which only the owner knows).
class EventQueue {
  public:
    using Node = host_protocol::ModuleEvent;

    EventQueue() = default;
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    bool empty() const { return head == nullptr; }
    Node* front() const { return head; }

    // Unlinks and answers the first node, or null when the queue is empty.
    Node* popFront();

    // Links `node` after every node due at or before it, seen from `now`, so events of equal
    // time keep the order of their insertion.
    void insert(Node* node, uint32_t now);

    // Every node due before `now` is given the time `now`; their order is kept.
    void moveOverdue(uint32_t now);

  private:
    Node* head = nullptr;
};

}  // namespace trigger_framework
