// Keeps what a retired probe worker may still touch (its mailbox and last question) alive until
// the worker's thread has really ended. A killed worker may still be inside its system call
// after TerminateThread returns, so its storage must outlive the scan's own reference.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>


namespace lurvik {

class ProbeKeeper {
 public:
  ProbeKeeper() = default;
  ~ProbeKeeper() { ReleaseAll(kFinalWaitMilliseconds); }
  ProbeKeeper(const ProbeKeeper&) = delete;
  ProbeKeeper& operator=(const ProbeKeeper&) = delete;

  static constexpr uint32_t kFinalWaitMilliseconds = 2000;

  // Takes over a SYNCHRONIZE copy of the worker's thread handle (may be nullptr when no copy
  // could be made) and a reference to its storage.
  void Track(int32_t worker, HANDLE thread, std::shared_ptr<void> storage);
  // Notes that the worker was terminated from outside (its thread may still run for a while).
  void MarkKilled(int32_t worker);
  // Drops every entry whose thread has ended.
  void ReleaseEnded();
  // The end of a scan: waits at most waitMilliseconds in all for the threads still running;
  // the storage of a thread that is still alive afterwards is left allocated for good.
  void ReleaseAll(uint32_t waitMilliseconds);
  size_t TrackedCount() const { return entries_.size(); }

 private:
  struct Entry {
    int32_t worker = 0;
    HANDLE thread = nullptr;
    bool killed = false;
    std::shared_ptr<void> storage;
  };
  bool HasEnded(const Entry& entry, uint32_t waitMilliseconds) const;
  static void Forget(Entry& entry, bool ended);

  std::vector<Entry> entries_;
};

}  // namespace lurvik
