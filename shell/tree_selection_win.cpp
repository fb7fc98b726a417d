// The selection through the fewest tree messages: under Wine each message that names an item
// searches all the tree's items, so the node selected last is remembered, and a selection made
// otherwise is looked up in the kept nodes, not walked through the control.
#include "shell/tree_selection_win.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

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

void SelectKeptNode(NodeNumber node) {
  std::vector<LPARAM> parents;
  for (NodeNumber parent = KeptTreeNodes.Parent(node); parent != 0; parent = KeptTreeNodes.Parent(parent))
    parents.push_back(static_cast<LPARAM>(KeptTreeNodes.Item(parent)));
  for (auto parent = parents.rbegin(); parent != parents.rend(); ++parent)
    SendMessageA(Tree(), TVM_EXPAND, TVE_EXPAND, *parent);
  const LPARAM item = static_cast<LPARAM>(KeptTreeNodes.Item(node));
  SendMessageA(Tree(), TVM_SELECTITEM, TVGN_CARET, item);
  SendMessageA(Tree(), TVM_ENSUREVISIBLE, 0, item);
  LastSelected = node;
}

}  // namespace lurvik
