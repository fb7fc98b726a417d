// The selection through the fewest tree messages: under Wine each message that names an item
// searches all the tree's items, so the node selected last is remembered, and a selection made
// otherwise is looked up in the kept nodes, not walked through the control.
#include "shell/tree_selection_win.h"

#include <windows.h>
#include <commctrl.h>

#include "shell/app_state.h"

namespace lurvik {

namespace {

NodeNumber LastSelected = 0;

HWND Tree() { return reinterpret_cast<HWND>(HandleTree); }

}  // namespace

NodeNumber SelectedKeptNode() {
  const uintptr_t item = static_cast<uintptr_t>(SendMessageA(Tree(), TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (item == 0) return 0;
  // Checked against the copy: after a rescan the same item value may stand for another node.
  if (LastSelected != 0 && LastSelected <= KeptTreeNodes.Count() && KeptTreeNodes.Item(LastSelected) == item)
    return LastSelected;
  return KeptTreeNodes.NodeOfItem(item);
}

// Selecting an item expands its collapsed parents (the control does it, and notifies as for
// the user's own expanding); scrolling it into view is asked for on its own.
void SelectKeptNode(NodeNumber node) {
  const LPARAM item = static_cast<LPARAM>(KeptTreeNodes.Item(node));
  SendMessageA(Tree(), TVM_SELECTITEM, TVGN_CARET, item);
  SendMessageA(Tree(), TVM_ENSUREVISIBLE, 0, item);
  LastSelected = node;
}

}  // namespace lurvik
