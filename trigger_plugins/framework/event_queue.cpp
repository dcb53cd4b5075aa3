#include "trigger_plugins/framework/event_queue.h"

namespace trigger_framework {

EventQueue::Node* EventQueue::popFront() {
    Node* node = head;
    if (node != nullptr) {
        head = node->next;
        node->next = nullptr;
    }
    return node;
}

void EventQueue::insert(Node* node, uint32_t now) {
    const int32_t ahead = samplesAhead(node->time, now);
    Node** link = &head;
    while (*link != nullptr && samplesAhead((*link)->time, now) <= ahead) {
        link = &(*link)->next;
    }
    node->next = *link;
    *link = node;
}

void EventQueue::moveOverdue(uint32_t now) {
    for (Node* node = head; node != nullptr && samplesAhead(node->time, now) < 0;
         node = node->next) {
        node->time = now;
    }
}

}  // namespace trigger_framework
