// The main thread's side of the scan's tree batches: the tree view is subclassed so that it
// takes one message per batch and inserts the batch's nodes itself, on the main thread that
// owns it, each with one same-thread TVM_INSERTITEMA.
//
// Any program on the same desktop can send a window this message with any lParam. So the
// receiver never follows the pointer a message carries: the scan announces its delivery
// before it sends, and the receiver takes that announced delivery (its own pointer, compared
// with the message's) once; every other message of this number is answered 0, untouched.
// The address alone is guessable (a thread's stack lies at the same place from run to run),
// so the message also carries a key that no other program can know: a number drawn from the
// system's random source once per program start, mixed with the count of deliveries.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "inventory/tree_output.h"

namespace lurvik {

// Sent by the scan to HandleTree with the delivery's key as wParam and its address as lParam;
// answered with 1 when it took the announced delivery, 0 otherwise.
constexpr UINT kInsertTreeNodesMessage = WM_APP + 0x4C;

// A batch and the table of tree items by node number, both owned by the scan. The table
// already has a row for every number the batch makes; the receiver writes those rows.
struct TreeNodeDelivery {
  const TreeNodeBatch* batch;
  uintptr_t* items;
  size_t itemCount;
};

// Makes the tree view take kInsertTreeNodesMessage and draws the program's delivery secret;
// called once on the thread that owns the tree, before the first scan starts. False when the
// tree could not be subclassed.
bool InstallTreeReceiver(HWND tree);

// Announces the delivery, sends it to the tree and withdraws the announcement. True when the
// tree took it (its nodes are in); false when it did not, and nothing of it was read.
bool SendTreeNodeDelivery(HWND tree, const TreeNodeDelivery& delivery);

// Inserts a delivery's nodes into the tree, in order (the receiver's work; also the scan's
// fallback, one cross-thread insert per node, for a tree that does not take batches).
void InsertTreeNodes(HWND tree, const TreeNodeDelivery& delivery);

}  // namespace lurvik
