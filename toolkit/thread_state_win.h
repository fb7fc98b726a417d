// Per-thread state of the window and menu layers: created on a thread's first use and released
// by the thread-exit watcher once that thread has ended (returned or killed).
#pragma once
#include "toolkit/thread_exit_watcher_win.h"

namespace lurvik {

// The calling thread's instance of State. If the watcher cannot take the clean-up, the state
// of that thread is simply not released.
template <typename State>
State& ThisThreadState() {
  static thread_local State* state = nullptr;
  if (!state) {
    state = new State();
    RegisterThreadCleanup([](void* data) { delete static_cast<State*>(data); }, state);
  }
  return *state;
}

}  // namespace lurvik
