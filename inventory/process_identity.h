// Which process held each id while the handle snapshot was taken. The system's process list
// gives every id with its creation time, which never changes for the life of a process; a
// process opened later by id is the snapshot's owner only when its creation time is the
// listed one. The times are compared with each other only, never with the clock, which may
// be set back or forward at any moment.
#pragma once
#include <cstdint>
#include <vector>

#include "inventory/inventory_system.h"
#include "inventory/native_records.h"

namespace lurvik {

constexpr uint32_t SYSTEM_PROCESS_INFORMATION_CLASS = 5;

class SnapshotProcesses {
 public:
  // The list taken right before the handle snapshot.
  void ListBeforeSnapshot(InventorySystem& system);
  // The list taken right after it (used only when the first one was read). An id missing
  // from the first list but present here had no other owner during the snapshot (it was free
  // before and is held after), so it is added. An id in both keeps the first list's time: if
  // it changed hands between the lists, the later holder may have come after the snapshot.
  void ListAfterSnapshot(InventorySystem& system);

  // Whether `process`, opened by `processId`, is the process that held that id during the
  // snapshot. True when no list could be read, or when the process's creation time cannot be
  // read: then nothing can be told, and the process is taken as the snapshot's.
  bool IsSnapshotOwner(InventorySystem& system, SysHandle process, uint32_t processId) const;

 private:
  static bool ById(const ProcessRecord& listed, uint32_t processId);
  void SortById();
  const ProcessRecord* Find(uint32_t processId) const;

  bool listed_ = false;
  std::vector<ProcessRecord> processes_;  // sorted by id
};

}  // namespace lurvik
