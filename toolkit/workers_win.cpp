// The worker table: started threads, newest first, under one lock. Ended workers are purged at
// the next start; no other lock is taken and no thread is created or killed under the lock.
#include "toolkit/workers_win.h"

#include <list>

#include "toolkit/lock.h"
#include "toolkit/system_handle_win.h"
#include "toolkit/timer_resolution_win.h"

namespace lurvik {
namespace {

struct WorkerEntry {
  SystemHandle thread;
  int32_t number;
};

struct WorkerTable {
  Lock lock;
  std::list<WorkerEntry> entries;  // newest first
  int32_t nextNumber = 1;
};

// Never destroyed: threads may still use the table while the process ends.
WorkerTable& Workers() {
  static WorkerTable& table = *new WorkerTable();
  return table;
}

bool HasEnded(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

// The listed entry with that number; call with the lock held.
std::list<WorkerEntry>::iterator FindWorker(WorkerTable& table, int32_t worker) {
  for (auto entry = table.entries.begin(); entry != table.entries.end(); ++entry)
    if (entry->number == worker) return entry;
  return table.entries.end();
}

}  // namespace

int32_t StartWorker(LPTHREAD_START_ROUTINE procedure, void* parameter) {
  DWORD threadId = 0;
  SystemHandle thread(CreateThread(nullptr, 4096, procedure, parameter, 0, &threadId));
  if (!thread) return 0;
  WorkerTable& table = Workers();
  LockHolder hold(table.lock);
  table.entries.remove_if([](const WorkerEntry& entry) { return HasEnded(entry.thread.Get()); });
  int32_t number = table.nextNumber++;
  table.entries.push_front(WorkerEntry{std::move(thread), number});
  return number;
}

int32_t IsWorkerRunning(int32_t worker) {
  WorkerTable& table = Workers();
  LockHolder hold(table.lock);
  auto entry = FindWorker(table, worker);
  return entry != table.entries.end() && !HasEnded(entry->thread.Get()) ? 1 : 0;
}

void KillWorker(int32_t worker) {
  // The entry leaves the table under the lock and its own handle is used to terminate the
  // thread outside it: a thread terminated while it holds the table lock would otherwise
  // deadlock the table, and no handle copy is needed that could fail.
  SystemHandle thread;
  {
    WorkerTable& table = Workers();
    LockHolder hold(table.lock);
    auto entry = FindWorker(table, worker);
    if (entry == table.entries.end()) return;
    thread = std::move(entry->thread);
    table.entries.erase(entry);
  }
  if (!HasEnded(thread.Get())) TerminateThread(thread.Get(), 0);
}

void PauseMilliseconds(uint32_t milliseconds) {
  RaiseTimerResolution();
  Sleep(milliseconds);
  RestoreTimerResolution();
}

void ReleaseWorkers() {
  WorkerTable& table = Workers();
  LockHolder hold(table.lock);
  table.entries.clear();
}

HANDLE DuplicateWorkerThreadHandle(int32_t worker) {
  WorkerTable& table = Workers();
  LockHolder hold(table.lock);
  auto entry = FindWorker(table, worker);
  if (entry == table.entries.end()) return nullptr;
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), entry->thread.Get(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0))
    return nullptr;
  return copy;
}

}  // namespace lurvik
