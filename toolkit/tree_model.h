// The main window's model of its tree view: every node with its text, image and parent, added
// by number as the nodes arrive, and linked in the tree's top-down order as each is placed in
// the control. The insertion reads it, and find and copy walk it instead of the control: under
// Wine every tree message that names an item searches all the control's items.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

namespace lurvik {

using NodeNumber = uint32_t;  // 1, 2, 3, ... in the order the nodes were made; 0: the root

// Where a node goes among its parent's children.
enum class InsertPlace { First, Last };

class TreeModel {
 public:
  TreeModel();
  // Holds node `number` (the next one; a number held already is ignored, and the numbers of a
  // gap stand for nodes the tree never got). Not placed yet: no item, no links. False when
  // memory ran out; the node is then missing as well.
  bool Add(NodeNumber number, std::string_view text, NodeNumber parent, int32_t image);
  // Records that the control took `node` as `item`, the first or last child of `parent` (0: the
  // root). A refused node (item 0) stays unlinked.
  void Place(NodeNumber node, NodeNumber parent, uintptr_t item, InsertPlace place);
  void Clear();

  NodeNumber Count() const { return static_cast<NodeNumber>(nodes_.size() - 1); }  // nodes 1..Count()
  std::string_view Text(NodeNumber node) const;
  const char* ZeroTerminatedText(NodeNumber node) const;
  bool Missing(NodeNumber node) const { return nodes_[node].textAt == kMissing; }
  int32_t Image(NodeNumber node) const { return nodes_[node].image; }
  // The parent the node was made under until it is placed, then the one it stands under.
  NodeNumber Parent(NodeNumber node) const { return nodes_[node].parent; }
  NodeNumber FirstChild(NodeNumber node) const { return nodes_[node].firstChild; }
  NodeNumber NextSibling(NodeNumber node) const { return nodes_[node].nextSibling; }
  uintptr_t Item(NodeNumber node) const { return nodes_[node].item; }
  // The node shown as `item`, 0 for none.
  NodeNumber NodeOfItem(uintptr_t item) const;
  // Top-down order over the placed nodes: the first node, and the node after `node` (0 after
  // the last).
  NodeNumber First() const { return nodes_[0].firstChild; }
  NodeNumber Next(NodeNumber node) const;

 private:
  struct Node {
    uint32_t textAt = 0;  // block * kTextBlock + offset; the text ends with a zero byte there
    uint32_t textLength = 0;
    NodeNumber parent = 0, firstChild = 0, nextSibling = 0;
    int32_t image = 0;
    uintptr_t item = 0;
  };
  // Texts in fixed blocks and nodes in a deque: growing never copies what is held, so a large
  // tree never stands twice in memory.
  static constexpr uint32_t kTextBlock = 1u << 20;
  static constexpr uint32_t kMissing = UINT32_MAX;
  void KeepText(std::string_view text, Node& node);

  std::deque<Node> nodes_;  // [0] is the root
  NodeNumber lastAtRoot_ = 0;
  std::vector<std::unique_ptr<char[]>> textBlocks_;
  uint32_t blockUsed_ = kTextBlock;
};

}  // namespace lurvik
