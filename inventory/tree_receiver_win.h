// The main thread's side of the scan's tree batches: the tree view is subclassed so that it
// takes one message per batch and inserts the batch's nodes itself, on the main thread that
// owns it, each with one same-thread TVM_INSERTITEMA.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "inventory/tree_output.h"

namespace lurvik {

// Sent by the scan to HandleTree with the delivery's address as lParam; answered with 1.
constexpr UINT kInsertTreeNodesMessage = WM_APP + 0x4C;

// A batch and the table of tree items by node number, both owned by the scan. The table
// already has a row for every number the batch makes; the receiver writes those rows.
struct TreeNodeDelivery {
  const TreeNodeBatch* batch;
  uintptr_t* items;
  size_t itemCount;
};

// Makes the tree view take kInsertTreeNodesMessage; called once on the thread that owns it,
// before the first scan starts. False when the tree could not be subclassed.
bool InstallTreeReceiver(HWND tree);

// Inserts a delivery's nodes into the tree, in order (the receiver's work, also for tests).
void InsertTreeNodes(HWND tree, const TreeNodeDelivery& delivery);

}  // namespace lurvik
