// WalkHandleSnapshot and the start of each process: label, filter, status, nodes, log line.
#include "inventory/process_walk.h"

#include <cmath>

#include "inventory/handle_resolution.h"
#include "inventory/inventory.h"
#include "inventory/owned_handle.h"
#include "inventory/process_image.h"
#include "shell/app_state.h"
#include "shell/language_text.h"
#include "toolkit/text.h"

namespace lurvik {

namespace {

void StartProcess(ScanState& state, uint32_t processId) {
  InventorySystem& system = state.system;
  system.Sleep(1);  // give up the processor once per process
  state.CurrentPid = processId;
  state.ProcessLabel = ProcessLabelFor(state, processId);
  FlushTypeBlocks(state);

  state.ProcessShown =
      (ProcessFilter.empty() || UpperCaseText(state.ImageNameBuffer) == UpperCaseText(ProcessFilter)) ? 1 : 0;
  StatusText = LanguageText(9) + state.ProcessLabel;
  system.SetStatusText(StatusText);
  if (state.ProcessShown == 1) {
    state.ProcessNode = system.InsertTreeItem(state.ProcessLabel, 0, 0, 0);
    LogText.append(state.ProcessLabel).append("\r\n");
  }
  for (int32_t r = 1; r <= TypeCount; ++r) {
    TypeRow& row = TypeTable[r];
    row.TypeNodeId.clear();
    row.TypeLogBlock.clear();
    if (state.ProcessShown != 1) continue;
    const int32_t image = TypeIconIndexFor(UpperCaseText(row.TypeName));
    const TreeItem node = system.InsertTreeItem(row.TypeName, state.ProcessNode, image, image);
    row.TypeNodeId = DecimalText(static_cast<int64_t>(node));
    row.TypeLogBlock = TypeHeaderLine(row.TypeName);
  }
}

}  // namespace

std::string ProcessLabelFor(ScanState& state, uint32_t processId) {
  if (processId == 0) return "0 / [System Process]";
  if (processId == 4) return "4 / System";
  const std::string prefix = DecimalText(processId) + " / ";
  OwnedHandle process(state.system, state.system.OpenProcess(state.ProcessQueryAccess, processId));
  if (!process) return prefix + "unbekannt";
  std::string path;
  if (ReadProcessImagePath(state.system, process.value(), path) == 0) return prefix + "unbekannt";
  state.ImageNameBuffer = state.system.PathStripPath(path);
  return prefix + TrimText(state.ImageNameBuffer);
}

void FlushTypeBlocks(ScanState& state) {
  if (state.ProcessShown == 1) {
    for (int32_t r = 1; r <= TypeCount; ++r) {
      const TypeRow& row = TypeTable[r];
      // A block holds its header line first; anything beyond it is handle lines.
      if (row.TypeLogBlock.size() > TypeHeaderLine(row.TypeName).size()) LogText += row.TypeLogBlock;
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
    ResolveHandleEntry(state, entry);
    ++EntryNumber;
    // The bar's range is 0 to 100; the last positions overshoot and the bar clamps them.
    const double position = static_cast<double>(EntryNumber) / static_cast<double>(EntryCount) * 100.0;
    state.system.SetProgressPosition(static_cast<int32_t>(std::trunc(position)));
  }
}

}  // namespace lurvik
