// The tree view's subclass procedure and the insertion of one batch of nodes.
#include "inventory/tree_receiver_win.h"

#include <commctrl.h>

namespace lurvik {

namespace {

// The tree view's own procedure, written once before the first scan and read only by the
// main thread, which owns the tree.
WNDPROC TreeProcedure;

LRESULT CALLBACK TreeReceiverProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kInsertTreeNodesMessage || lParam == 0) return CallWindowProcA(TreeProcedure, tree, message, wParam, lParam);
  InsertTreeNodes(tree, *reinterpret_cast<const TreeNodeDelivery*>(lParam));
  return 1;
}

}  // namespace

bool InstallTreeReceiver(HWND tree) {
  if (tree == nullptr) return false;
  TreeProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeReceiverProcedure)));
  return TreeProcedure != nullptr;
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
