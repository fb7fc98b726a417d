// Which process held each id while the handle snapshot was taken. The system's process list,
// read right before the snapshot, gives every id with its creation time, which never changes
// for the life of a process; a process opened later by id is the snapshot's owner only when
// its creation time is the listed one. The times are compared with each other only, never
// with the clock, which may be set back or forward at any moment.
#pragma once
#include <cstdint>
#include <vector>

#include "inventory/inventory_system.h"
#include "inventory/native_records.h"

namespace lurvik {

constexpr uint32_t SYSTEM_PROCESS_INFORMATION_CLASS = 5;

class SnapshotProcesses {
 public:
  // The list, taken right before the handle snapshot (once its buffer is ready). An id that
  // is not in it is never taken as known: its holder started after the list, and a later list
  // could not tell whether that holder is the one of the snapshot or one that came after it.
  void ListBeforeSnapshot(InventorySystem& system);

  // Whether `process` (0: it could not be opened), opened by `processId`, is the process that
  // held that id during the snapshot: it is when its creation time is the one listed for the
  // id. Without a list nothing can be told, and every process is taken as the snapshot's; with
  // one, a process that was not opened or whose time cannot be read is not.
  bool IsSnapshotOwner(InventorySystem& system, SysHandle process, uint32_t processId) const;

 private:
  const ProcessRecord* Find(uint32_t processId) const;

  bool listed_ = false;
  std::vector<ProcessRecord> processes_;  // sorted by id
};

}  // namespace lurvik
