// Releases per-thread runtime state after a thread has ended, whether it returned or was
// killed: the thread's handle is watched by a watcher thread that runs the clean-up routines.
#pragma once

namespace lurvik {

// Runs routine(data) on a watcher thread after the calling thread has ended; the routines of
// one thread run most recently registered first. False if the thread's handle could not be
// duplicated or no watcher could be started: the state is then simply not released.
bool RegisterThreadCleanup(void (*routine)(void*), void* data);

}  // namespace lurvik
