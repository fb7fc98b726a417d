// The list of probe storages whose threads may still run; used only by the scan thread.
#include "inventory/probe_keeper_win.h"

#include "toolkit/workers_win.h"

namespace lurvik {

namespace {

// Storage of threads that never ended within the final wait. It is never freed: a thread
// still alive may write into it at any time until the process ends.
std::vector<std::shared_ptr<void>>* AbandonedStorage() {
  static auto* abandoned = new std::vector<std::shared_ptr<void>>();
  return abandoned;
}

}  // namespace

void ProbeKeeper::Track(int32_t worker, HANDLE thread, std::shared_ptr<void> storage) {
  Entry entry;
  entry.worker = worker;
  entry.thread = thread;
  entry.storage = std::move(storage);
  entries_.push_back(std::move(entry));
}

void ProbeKeeper::MarkKilled(int32_t worker) {
  for (Entry& entry : entries_)
    if (entry.worker == worker) entry.killed = true;
}

bool ProbeKeeper::HasEnded(const Entry& entry, uint32_t waitMilliseconds) const {
  if (entry.thread != nullptr) return WaitForSingleObject(entry.thread, waitMilliseconds) == WAIT_OBJECT_0;
  // Without a handle copy only the worker table can tell. It forgets a worker only once its
  // thread has ended, or when the worker was killed, and a killed one can't be judged.
  return !entry.killed && IsWorkerRunning(entry.worker) == 0;
}

void ProbeKeeper::Forget(Entry& entry, bool ended) {
  if (!ended && entry.storage) AbandonedStorage()->push_back(std::move(entry.storage));
  if (entry.thread != nullptr) ::CloseHandle(entry.thread);
  entry.thread = nullptr;
  entry.storage.reset();
}

void ProbeKeeper::ReleaseEnded() {
  size_t kept = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (HasEnded(entries_[i], 0)) {
      Forget(entries_[i], true);
    } else {
      if (kept != i) entries_[kept] = std::move(entries_[i]);
      ++kept;
    }
  }
  entries_.resize(kept);
}

void ProbeKeeper::ReleaseAll(uint32_t waitMilliseconds) {
  // One bound for all the threads together: each wait gets what is left of it.
  const DWORD started = GetTickCount();
  for (Entry& entry : entries_) {
    const DWORD spent = GetTickCount() - started;
    Forget(entry, HasEnded(entry, spent < waitMilliseconds ? waitMilliseconds - spent : 0));
  }
  entries_.clear();
}

}  // namespace lurvik
