// The thread-exit watchers: each waits on up to 62 thread handles plus a wake-up semaphore,
// and when a thread ends closes its handle and runs its clean-up routines outside the lock.
// A further watcher starts when all are full; a watcher whose last thread ended goes away.
#include "toolkit/thread_exit_watcher_win.h"

#include <windows.h>

#include <algorithm>
#include <list>
#include <memory>
#include <new>
#include <vector>

#include "toolkit/lock.h"
#include "toolkit/system_handle_win.h"

namespace lurvik {
namespace {

constexpr size_t kThreadsPerWatcher = MAXIMUM_WAIT_OBJECTS - 2;  // 62, beside the semaphore

struct Cleanup {
  void (*routine)(void*);
  void* data;
};

struct WatchedThread {
  SystemHandle thread;            // SYNCHRONIZE copy of the watched thread's handle
  std::vector<Cleanup> routines;  // in registration order
};

struct Watcher {
  SystemHandle wakeUp;  // released whenever a thread is added
  std::vector<std::unique_ptr<WatchedThread>> watched;
};

struct WatcherList {
  Lock lock;  // guards every watcher's list; separate from the worker table lock
  std::list<Watcher*> watchers;  // the ones still accepting threads
};

// Never destroyed: watcher threads may still use the list while the process ends.
WatcherList& Watchers() {
  static WatcherList& list = *new WatcherList();
  return list;
}

// The calling thread's record, once it has one; it lives until the thread has ended.
thread_local WatchedThread* OwnRecord = nullptr;

void RunCleanups(WatchedThread& ended) {
  ended.thread.Reset();
  for (auto cleanup = ended.routines.rbegin(); cleanup != ended.routines.rend(); ++cleanup)
    cleanup->routine(cleanup->data);
}

DWORD WINAPI WatchThreads(void* parameter) {
  std::unique_ptr<Watcher> watcher(static_cast<Watcher*>(parameter));
  WatcherList& list = Watchers();
  for (;;) {
    HANDLE waitOn[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    {
      LockHolder hold(list.lock);
      waitOn[count++] = watcher->wakeUp.Get();
      for (const auto& watched : watcher->watched) waitOn[count++] = watched->thread.Get();
    }
    DWORD result = WaitForMultipleObjects(count, waitOn, FALSE, INFINITE);
    if (result == WAIT_OBJECT_0) continue;  // a thread was added: wait on the new set
    if (result >= WAIT_OBJECT_0 + count) {
      Sleep(10);  // not expected; do not spin
      continue;
    }
    HANDLE signalled = waitOn[result - WAIT_OBJECT_0];
    std::unique_ptr<WatchedThread> ended;
    bool last = false;
    {
      LockHolder hold(list.lock);
      auto& watched = watcher->watched;
      auto found = std::find_if(watched.begin(), watched.end(),
                                [signalled](const std::unique_ptr<WatchedThread>& w) { return w->thread.Get() == signalled; });
      if (found != watched.end()) {
        ended = std::move(*found);
        watched.erase(found);
      }
      if (watched.empty()) {
        // Leave the list under the lock, so no thread is handed to a watcher that is ending.
        list.watchers.remove(watcher.get());
        last = true;
      }
    }
    if (ended) RunCleanups(*ended);
    if (last) return 0;  // the semaphore closes with the watcher
  }
}

// A new watcher with its thread running, already in the list; call with the lock held.
Watcher* StartWatcher(WatcherList& list) {
  std::unique_ptr<Watcher> watcher(new (std::nothrow) Watcher());
  if (!watcher) return nullptr;
  watcher->wakeUp = SystemHandle(CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr));
  if (!watcher->wakeUp) return nullptr;
  DWORD threadId = 0;
  // The new watcher waits for the lock before it looks at its list, so it starts safely here.
  SystemHandle thread(CreateThread(nullptr, 0, WatchThreads, watcher.get(), 0, &threadId));
  if (!thread) return nullptr;
  list.watchers.push_back(watcher.get());
  return watcher.release();  // owned by its thread from now on
}

}  // namespace

bool RegisterThreadCleanup(void (*routine)(void*), void* data) {
  if (!routine) return false;
  WatcherList& list = Watchers();
  if (OwnRecord) {
    LockHolder hold(list.lock);
    OwnRecord->routines.push_back(Cleanup{routine, data});
    return true;
  }
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0))
    return false;
  std::unique_ptr<WatchedThread> record(new (std::nothrow) WatchedThread());
  if (!record) {
    CloseHandle(copy);
    return false;
  }
  record->thread = SystemHandle(copy);
  record->routines.push_back(Cleanup{routine, data});

  LockHolder hold(list.lock);
  auto open = std::find_if(list.watchers.begin(), list.watchers.end(),
                           [](const Watcher* w) { return w->watched.size() < kThreadsPerWatcher; });
  Watcher* watcher = open != list.watchers.end() ? *open : StartWatcher(list);
  if (!watcher) return false;
  OwnRecord = record.get();
  watcher->watched.push_back(std::move(record));
  ReleaseSemaphore(watcher->wakeUp.Get(), 1, nullptr);
  return true;
}

}  // namespace lurvik
