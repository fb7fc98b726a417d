// The main thread's side of the scan's tree batches: the tree view is subclassed so that it
// takes one message per batch, holds the batch's nodes in the window's tree model and, once
// the scan has left a process, inserts that process's nodes itself, on the main thread that
// owns the tree, each with one same-thread TVM_INSERTITEMA (in the order of tree_insertion.h).
// A large process goes in in slices of about 30 ms, one per message: the scan sends again,
// empty, until it is in, and the window serves its other messages between the slices.
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
#include <functional>

#include "inventory/tree_output.h"
#include "toolkit/tree_insertion.h"
#include "toolkit/tree_model.h"

namespace lurvik {

// Sent by the scan to HandleTree with the delivery's key as wParam and its address as lParam;
// answered with 1 when it took the announced delivery, 0 otherwise.
constexpr UINT kInsertTreeNodesMessage = WM_APP + 0x4C;

// A batch, owned by the scan, and the receiver's answer.
struct TreeNodeDelivery {
  const TreeNodeBatch* batch;
  bool insertionLeft = false;  // finished nodes are still to be inserted: send again (empty)
  bool windowBusy = false;     // the main thread has messages of its own waiting
};

// Makes the tree view take kInsertTreeNodesMessage and draws the program's delivery secret;
// called once on the thread that owns the tree, before the first scan starts. False when the
// tree could not be subclassed.
bool InstallTreeReceiver(HWND tree);

// Announces the delivery, sends it to the tree and withdraws the announcement. True when the
// tree took it (its nodes are held, and finished ones inserted for up to a slice); false when
// it did not, and nothing of it was read or written.
bool SendTreeNodeDelivery(HWND tree, TreeNodeDelivery& delivery);

// Holds a batch's nodes in `model` and, when the batch finishes a stretch, marks its nodes for
// `insertion`; then inserts finished nodes into the tree until none is left (true) or
// `sliceOver` says stop. The receiver's work, on the main thread; also the scan's fallback for
// a tree that does not take batches, with a model of its own and one cross-thread insert per
// node.
bool HoldAndInsert(HWND tree, TreeModel& model, TreeInsertion& insertion, const TreeNodeBatch& batch,
                   const std::function<bool()>& sliceOver);

}  // namespace lurvik
