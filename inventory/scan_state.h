// The state of one scan's walk over the handle snapshot: the process being listed, whether it
// passes the filter, its node, the working text field, and the rows made for handles whose
// type number the type list does not cover.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "inventory/inventory_system.h"
#include "inventory/probe_worker.h"
#include "inventory/type_table.h"

namespace lurvik {

struct ScanState {
  explicit ScanState(InventorySystem& machine) : system(machine), Probes(machine) {}

  InventorySystem& system;
  ProbeWorker Probes;               // asks the hang-prone questions; ends with the scan
  uint32_t ProcessQueryAccess = 0;  // 0x1000 above Windows XP, else 0x400
  int64_t CurrentPid = -1;          // -1 before the first entry
  std::string ProcessLabel;
  TreeItem ProcessNode = 0;
  int32_t ProcessShown = 0;
  std::string ImageNameBuffer;      // the current entry's one text value, at most 2502 bytes

  // Rows for type numbers outside 1..TypeCount, made for the current process when its first
  // such handle appears, in order of appearance; flushed after the listed rows.
  std::deque<TypeRow> UnlistedTypeRows;
  std::map<uint32_t, size_t> UnlistedTypeIndex;
};

constexpr size_t kImageNameBufferSize = 2502;

}  // namespace lurvik
