// The per-thread event queue: collapse of identical neighbours, oldest first, and the removal
// of a closed window's events.
#include "toolkit/event_queue.h"

#include <algorithm>

namespace lurvik {

namespace {
bool SameEvent(const WindowEvent& a, const WindowEvent& b) {
  return a.code == b.code && a.item == b.item && a.window == b.window && a.type == b.type;
}
}  // namespace

void EventQueue::Post(const WindowEvent& event) {
  if (!events_.empty() && SameEvent(events_.back(), event)) return;
  events_.push_back(event);
}

bool EventQueue::Take(WindowEvent& event) {
  if (events_.empty()) return false;
  event = events_.front();
  events_.pop_front();
  return true;
}

void EventQueue::DropWindow(intptr_t window) {
  events_.erase(std::remove_if(events_.begin(), events_.end(),
                               [window](const WindowEvent& e) { return e.window == window; }),
                events_.end());
}

}  // namespace lurvik
