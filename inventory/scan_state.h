// The state of one scan's walk over the handle snapshot: the process being listed, whether it
// passes the filter, its node and its opened owner, the working text field, the tree output,
// the drive map, the last progress position and the rows made for handles whose type number
// the type list does not cover.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "inventory/device_paths.h"
#include "inventory/file_stretch.h"
#include "inventory/inventory_system.h"
#include "inventory/owned_handle.h"
#include "inventory/probe_worker.h"
#include "inventory/process_identity.h"
#include "inventory/tree_output.h"
#include "inventory/type_table.h"
#include "shell/app_state.h"

namespace lurvik {

struct ScanState {
  // The tree of an unattended run (a log path was given) gets no nodes: its window is never
  // shown. The nodes are numbered all the same, and the log is the interactive scan's.
  explicit ScanState(InventorySystem& machine)
      : system(machine),
        Probes(machine),
        Tree(machine, BatchLogPath.empty()),
        Drives(machine),
        Files(machine),
        LabelProcess(machine, 0),
        OwnerProcess(machine, 0) {}

  InventorySystem& system;
  ProbeWorker Probes;               // asks the hang-prone questions; ends with the scan
  TreeOutput Tree;                  // the nodes, in batches to the main thread (interactive only)
  DriveMap Drives;                  // the drive letters' devices, read once
  FileStretch Files;                // the copies and answers of the coming file entries
  uint32_t ProcessQueryAccess = 0;  // 0x1000 above Windows XP, else 0x400
  int64_t CurrentPid = -1;          // -1 before the first entry
  std::string ProcessLabel;
  NodeNumber ProcessNode = 0;
  int32_t ProcessShown = 0;
  std::string ImageNameBuffer;      // the current entry's one text value, at most 2502 bytes
  std::u16string ImageFileName;     // the current process's image file name, true characters
  int32_t LastProgress = -1;        // the position last sent to the bar; -1: none yet
  // Whether this scan found its own handle and so knows the type numbers. Only then may a
  // name be asked on the scan thread: with shifted rows a file could pass for an event.
  bool TypesCalibrated = false;
  // The ids and creation times of the processes listed right before the walk's snapshot: a
  // process opened by an id is the owner of that id's entries only when it is the one listed.
  SnapshotProcesses Listed;

  // The current process opened for its label, held until its owner is open or the walk leaves
  // it: while a handle to a process is open, its id cannot be given to another process, so the
  // owner opened by the same id is the process whose creation time was checked.
  OwnedHandle LabelProcess;
  // The current process opened for duplication, once, at its first entry that needs it, and
  // closed when the walk leaves the process. OwnerTried says the opening was tried, or must not
  // be: when a process list was read, only a process whose creation time matched it is opened
  // (ids 0 and 4 aside, which are never reused); without a list, every owner is.
  OwnedHandle OwnerProcess;
  bool OwnerTried = false;

  // Rows for type numbers outside 1..TypeCount, made for the current process when its first
  // such handle appears, in order of appearance; flushed after the listed rows.
  std::deque<TypeRow> UnlistedTypeRows;
  std::map<uint32_t, size_t> UnlistedTypeIndex;
};

constexpr size_t kImageNameBufferSize = 2502;

}  // namespace lurvik
