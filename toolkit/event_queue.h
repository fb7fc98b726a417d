// Event codes of the window layer and the per-thread queue of events that the window procedure
// posts. Portable, so the collapsing and ordering rules are tested natively; the Windows layer
// keeps one queue per thread that reads window events.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

namespace lurvik {

constexpr int32_t EVENT_MOVE = 3;
constexpr int32_t EVENT_SIZE = 5;
constexpr int32_t EVENT_REPAINT = 15;
constexpr int32_t EVENT_CLOSE = 16;
constexpr int32_t EVENT_GADGET = 13100;
constexpr int32_t EVENT_MENU = 13101;
constexpr int32_t EVENT_ACTIVATE = 13104;
constexpr int32_t EVENT_MINIMIZE = 13107;
constexpr int32_t EVENT_MAXIMIZE = 13108;
constexpr int32_t EVENT_RESTORE = 13109;
constexpr int32_t EVENT_TIMER = 13110;

// One event: what WaitEvent returns and EventItem reads.
struct WindowEvent {
  int32_t code = 0;
  int32_t item = 0;       // menu item, control or timer id; the window number for close/move
  intptr_t window = 0;    // window number
  int32_t type = -1;      // notification code of a control event, -1 when none
  intptr_t data1 = 0;     // message parameters of an event that is a plain system message
  intptr_t data2 = 0;
};

// First in, first out. Posting an event equal in code, item, window and type to the last
// queued one adds nothing, so a burst of identical resize or repaint notifications waits as one.
class EventQueue {
 public:
  void Post(const WindowEvent& event);
  // Moves the oldest event into `event`; false when the queue is empty.
  bool Take(WindowEvent& event);
  // Forgets every waiting event of a window that is being closed.
  void DropWindow(intptr_t window);
  size_t Size() const { return events_.size(); }

 private:
  std::deque<WindowEvent> events_;
};

}  // namespace lurvik
