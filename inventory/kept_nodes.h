// The main thread's own copy of the tree's nodes: each node's text, its parent and its tree item,
// linked in the tree's top-down order. Find and copy read this copy, not the control: under Wine
// every tree message that names an item searches all the control's items.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "inventory/tree_output.h"

namespace lurvik {

class KeptNodes {
 public:
  KeptNodes();
  // Keeps a batch's nodes as the tree got them; items[number] is the tree item of every number
  // the batch made (0: refused). A refused node is kept unlinked, and a node whose parent has no
  // item is linked at the root, where the control put it. A batch numbered from 1 starts anew.
  void Keep(const TreeNodeBatch& batch, const uintptr_t* items, size_t itemCount);
  void Clear();

  NodeNumber Count() const { return static_cast<NodeNumber>(nodes_.size() - 1); }  // nodes 1..Count()
  std::string_view Text(NodeNumber node) const;
  NodeNumber Parent(NodeNumber node) const { return nodes_[node].parent; }
  NodeNumber FirstChild(NodeNumber node) const { return nodes_[node].firstChild; }
  NodeNumber NextSibling(NodeNumber node) const { return nodes_[node].nextSibling; }
  uintptr_t Item(NodeNumber node) const { return nodes_[node].item; }
  // The node shown as `item`, 0 for none.
  NodeNumber NodeOfItem(uintptr_t item) const;
  // Top-down order: the first node, and the node after `node` (0 after the last).
  NodeNumber First() const { return nodes_[0].firstChild; }
  NodeNumber Next(NodeNumber node) const;

 private:
  struct Node {
    uint32_t textAt = 0;  // block * kTextBlock + offset
    uint32_t textLength = 0;
    NodeNumber parent = 0, firstChild = 0, lastChild = 0, nextSibling = 0;
    uintptr_t item = 0;
  };
  // Texts in fixed blocks and nodes in a deque: growing never copies what is kept, so a large
  // tree never holds two copies at once.
  static constexpr uint32_t kTextBlock = 1u << 20;
  void KeepText(std::string_view text, Node& node);

  std::deque<Node> nodes_;  // [0] is the root
  std::vector<std::unique_ptr<char[]>> textBlocks_;
  uint32_t blockUsed_ = kTextBlock;
};

// The copy of the main window's tree, used on the main thread only: the tree's receiver keeps
// each batch it takes, and a rescan clears it with the tree. The scan's fallback for a tree that
// takes no batches (one cross-thread insert per node, on the scan thread) keeps nothing: keeping
// there would race with a find on the main thread, and such a tree has no subclass for the keys.
extern KeptNodes KeptTreeNodes;

}  // namespace lurvik
