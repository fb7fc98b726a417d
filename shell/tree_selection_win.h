// The tree's selection in terms of the kept nodes: which node is selected, and selecting one.
#pragma once
#include "toolkit/tree_model.h"

namespace lurvik {

// The kept node of HandleTree's selected item; 0 when nothing (or no kept node) is selected.
NodeNumber SelectedKeptNode();
// Selects the node, which expands its parents, and scrolls it into view.
void SelectKeptNode(NodeNumber node);

}  // namespace lurvik
