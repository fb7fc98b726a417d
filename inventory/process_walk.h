// The walk over the handle snapshot: at each change of owner process the previous process's
// log blocks are flushed and the new process is named, shown in the status bar and, when it
// passes the filter, given its node and one node per object type; every entry is resolved
// and the progress bar advances.
#pragma once
#include <string>

#include "inventory/handle_snapshot.h"
#include "inventory/scan_state.h"

namespace lurvik {

// "0 / [System Process]", "4 / System", or the id, " / " and the image file name ("unbekannt"
// when it cannot be read, or when the process is not the one that held the id during the
// snapshot; then its owner is marked as tried, so none of its entries is duplicated). Leaves
// the untrimmed file name in state.ImageNameBuffer, and the process open in state.LabelProcess.
std::string ProcessLabelFor(ScanState& state, uint32_t processId);

// Appends the current process's type blocks that hold handle lines to LogText, listed rows
// first, when the process is shown; then forgets the unlisted rows.
void FlushTypeBlocks(ScanState& state);

// Sets StatusText and shows it, after the nodes still held back have gone to the tree. So when
// the status bar names a process, the tree holds every node of the processes before it; the
// named process's own nodes are made after its status text and follow in later batches.
void ShowStatus(ScanState& state, const std::string& text);

void WalkHandleSnapshot(ScanState& state, const HandleSnapshot& snapshot);

}  // namespace lurvik
