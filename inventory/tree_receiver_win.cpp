// The tree view's subclass procedure, the announced hand-over of a batch and the insertion of
// its nodes.
#include "inventory/tree_receiver_win.h"

#include <commctrl.h>

#include <atomic>

#include "inventory/kept_nodes.h"

namespace lurvik {

namespace {

// The tree view's own procedure, written once before the first scan and read only by the
// main thread, which owns the tree.
WNDPROC TreeProcedure;

// The delivery the scan is sending, or null. The scan sets it before its send and clears it
// after; the receiver takes it by exchange, so each delivery is inserted at most once, even
// when a foreign message happens to carry the same address. While it is set, the delivery
// lives on the scan thread's stack with that thread blocked in its send; the scan thread is
// never terminated, and at the process end no main-thread code serves messages any more.
std::atomic<const TreeNodeDelivery*> AnnouncedDelivery{nullptr};

LRESULT CALLBACK TreeReceiverProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kInsertTreeNodesMessage) return CallWindowProcA(TreeProcedure, tree, message, wParam, lParam);
  // Compared as numbers; only the announced pointer, which is the scan's own, is followed.
  const TreeNodeDelivery* announced = AnnouncedDelivery.load();
  if (announced == nullptr || reinterpret_cast<LPARAM>(announced) != lParam ||
      !AnnouncedDelivery.compare_exchange_strong(announced, nullptr))
    return 0;
  InsertTreeNodes(tree, *announced);
  KeptTreeNodes.Keep(*announced->batch, announced->items, announced->itemCount);  // for find and copy
  return 1;
}

}  // namespace

bool InstallTreeReceiver(HWND tree) {
  if (tree == nullptr) return false;
  TreeProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeReceiverProcedure)));
  return TreeProcedure != nullptr;
}

// The delivery is taken exactly when the announcement is gone after the send. Whoever's
// message took it, the insertion is over by then: the main thread serves one sent message at
// a time, and its inserts are same-thread calls, which let no other thread's message in, so
// the scan's own message is served only after any other taker has returned. A tree without
// the receiver, or a window already destroyed, leaves the announcement standing.
bool SendTreeNodeDelivery(HWND tree, const TreeNodeDelivery& delivery) {
  AnnouncedDelivery.store(&delivery);
  SendMessageA(tree, kInsertTreeNodesMessage, 0, reinterpret_cast<LPARAM>(&delivery));
  return AnnouncedDelivery.exchange(nullptr) == nullptr;
}

// Each node is appended as the last child of the item its parent number stands for (the root
// for 0, and for a parent the control refused, whose item is 0). The texts stay in the batch;
// the control copies each during its insert.
void InsertTreeNodes(HWND tree, const TreeNodeDelivery& delivery) {
  const TreeNodeBatch& batch = *delivery.batch;
  TVINSERTSTRUCTA record = {};
  record.hInsertAfter = TVI_LAST;
  record.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  record.item.cChildren = 1;
  size_t number = batch.firstNumber;
  for (const TreeNodeBatch::Node& node : batch.nodes) {
    const uintptr_t parent = node.parent < delivery.itemCount ? delivery.items[node.parent] : 0;
    record.hParent = reinterpret_cast<HTREEITEM>(parent);
    record.item.pszText = const_cast<char*>(batch.texts.data() + node.textOffset);
    record.item.cchTextMax = static_cast<int>(node.textLength);
    record.item.iImage = node.image;
    record.item.iSelectedImage = node.image;
    const LRESULT item = SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&record));
    if (number < delivery.itemCount) delivery.items[number] = static_cast<uintptr_t>(item);
    ++number;
  }
}

}  // namespace lurvik
