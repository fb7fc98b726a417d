// WalkHandleSnapshot and the start of each process: label, filter, status, nodes, log line.
#include "inventory/process_walk.h"

#include <cmath>

#include "inventory/handle_resolution.h"
#include "inventory/inventory.h"
#include "inventory/owned_handle.h"
#include "inventory/process_filter.h"
#include "inventory/process_image.h"
#include "shell/app_state.h"
#include "shell/language_text.h"
#include "toolkit/text.h"

namespace lurvik {

namespace {

// The walk leaves the previous process: its handles are closed.
void LeaveProcess(ScanState& state) {
  state.LabelProcess.Close();
  state.OwnerProcess.Close();
  state.OwnerTried = false;
}

void StartProcess(ScanState& state, uint32_t processId) {
  InventorySystem& system = state.system;
  LeaveProcess(state);
  system.Sleep(1);  // give up the processor once per process
  state.CurrentPid = processId;
  state.ProcessLabel = ProcessLabelFor(state, processId);
  FlushTypeBlocks(state);

  state.ProcessShown = PassesProcessFilter(system, state.ImageFileName) ? 1 : 0;
  ShowStatus(state, LanguageText(9) + state.ProcessLabel);
  if (state.ProcessShown == 1) {
    state.ProcessNode = state.Tree.Add(state.ProcessLabel, 0, 0);
    LogText.append(state.ProcessLabel).append("\r\n");
  }
  for (int32_t r = 1; r <= TypeCount; ++r) {
    TypeRow& row = TypeTable[r];
    row.TypeNodeId.clear();
    row.TypeLogBlock.clear();
    if (state.ProcessShown != 1) continue;
    const NodeNumber node = state.Tree.Add(row.TypeName, state.ProcessNode, row.TypeIconIndex);
    row.TypeNodeId = DecimalText(node);
    row.TypeLogBlock = TypeHeaderLine(row.TypeName);
  }
}

// The position is sent only when it differs from the last one sent: the bar shows the same,
// and a scan sends at most about a hundred messages instead of one per entry.
void ShowProgress(ScanState& state, int32_t position) {
  if (position == state.LastProgress) return;
  state.LastProgress = position;
  state.system.SetProgressPosition(position);
}

}  // namespace

void ShowStatus(ScanState& state, const std::string& text) {
  state.Tree.Send();  // the earlier processes' nodes first
  StatusText = text;
  state.system.SetStatusText(StatusText);
}

std::string ProcessLabelFor(ScanState& state, uint32_t processId) {
  state.ImageFileName.clear();
  // Ids 0 and 4 belong to the idle and System processes, which end only with the machine, so
  // their ids are never given to another process.
  if (processId == 0) return "0 / [System Process]";
  if (processId == 4) return "4 / System";
  const std::string prefix = DecimalText(processId) + " / ";
  OwnedHandle& process = state.LabelProcess;
  process.Reset(state.system.OpenProcess(state.ProcessQueryAccess, processId));
  // The id may have been given to another process since the snapshot: one that is not the
  // listed holder of the id, or that cannot be checked (not opened, no time), is not taken
  // for the one whose entries follow. Its owner is never opened, so no handle value of the
  // snapshot is duplicated from the wrong process.
  if (!state.Listed.IsSnapshotOwner(state.system, process.value(), processId)) {
    process.Close();
    state.OwnerTried = true;
    return prefix + "unbekannt";
  }
  if (!process) return prefix + "unbekannt";  // no process list: taken as the snapshot's
  std::string path;
  std::u16string truePath;
  if (ReadProcessImagePath(state.system, process.value(), path, &truePath) == 0) return prefix + "unbekannt";
  state.ImageNameBuffer = state.system.PathStripPath(path);
  // The file name in its true characters, for the filter: after the last "\", which in UTF-16
  // is always a character of its own.
  state.ImageFileName = truePath.substr(truePath.find_last_of(u'\\') + 1);
  return prefix + TrimText(state.ImageNameBuffer);
}

void FlushTypeBlocks(ScanState& state) {
  if (state.ProcessShown == 1) {
    for (int32_t r = 1; r <= TypeCount; ++r) {
      const TypeRow& row = TypeTable[r];
      // A block holds its header line ("  " + name + CR LF) first; anything beyond is handle lines.
      if (row.TypeLogBlock.size() > row.TypeName.size() + 4) LogText += row.TypeLogBlock;
    }
    for (const TypeRow& row : state.UnlistedTypeRows) LogText += row.TypeLogBlock;
  }
  state.UnlistedTypeRows.clear();
  state.UnlistedTypeIndex.clear();
}

void WalkHandleSnapshot(ScanState& state, const HandleSnapshot& snapshot) {
  const uint64_t EntryCount = snapshot.EntryCount();
  state.CurrentPid = -1;
  state.ProcessShown = 0;
  state.system.EnableDebugPrivilege();
  HandleEntry entry;
  for (uint64_t EntryNumber = 1; EntryNumber <= EntryCount && snapshot.Entry(EntryNumber - 1, entry);) {
    state.ImageNameBuffer.clear();
    if (static_cast<int64_t>(entry.ownerPid) != state.CurrentPid) StartProcess(state, entry.ownerPid);
    ResolveHandleEntry(state, snapshot, EntryNumber - 1, entry);
    state.Tree.SendIfDue();
    ++EntryNumber;
    // The bar's range is 0 to 100; the last positions overshoot and the bar clamps them.
    const double position = static_cast<double>(EntryNumber) / static_cast<double>(EntryCount) * 100.0;
    ShowProgress(state, static_cast<int32_t>(std::trunc(position)));
  }
  LeaveProcess(state);
}

}  // namespace lurvik
