// TreeModel: the nodes of the main window's tree and their top-down order.
#include "toolkit/tree_model.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lurvik {

TreeModel::TreeModel() { nodes_.emplace_back(); }

void TreeModel::Clear() {
  nodes_.clear();
  nodes_.emplace_back();
  lastAtRoot_ = 0;
  textBlocks_.clear();
  blockUsed_ = kTextBlock;
}

void TreeModel::KeepText(std::string_view text, Node& node) {
  const uint32_t length = static_cast<uint32_t>(std::min<size_t>(text.size(), kTextBlock - 1));
  if (kTextBlock - blockUsed_ < length + 1) {
    textBlocks_.push_back(std::make_unique<char[]>(kTextBlock));
    blockUsed_ = 0;
  }
  char* at = textBlocks_.back().get() + blockUsed_;
  std::memcpy(at, text.data(), length);
  at[length] = '\0';
  node.textAt = static_cast<uint32_t>(textBlocks_.size() - 1) * kTextBlock + blockUsed_;
  node.textLength = length;
  blockUsed_ += length + 1;
}

// Called inside the tree's window procedure: out of memory, it reports false instead of an
// exception leaving the procedure.
bool TreeModel::Add(NodeNumber number, std::string_view text, NodeNumber parent, int32_t image) try {
  if (number <= Count()) return true;
  Node missing;
  missing.textAt = kMissing;
  while (Count() + 1 < number) nodes_.push_back(missing);
  Node node;
  node.parent = parent;
  node.image = image;
  KeepText(text, node);
  nodes_.push_back(node);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

// The root's last child is kept; a last child elsewhere is found by walking, which only a node
// under a parent of an earlier finished stretch needs (the scan never makes one).
void TreeModel::Place(NodeNumber node, NodeNumber parent, uintptr_t item, InsertPlace place) {
  Node& placed = nodes_[node];
  placed.item = item;
  placed.parent = item == 0 ? 0 : parent;
  if (item == 0) return;
  if (place == InsertPlace::First) {
    placed.nextSibling = nodes_[parent].firstChild;
    nodes_[parent].firstChild = node;
    if (parent == 0 && lastAtRoot_ == 0) lastAtRoot_ = node;
    return;
  }
  NodeNumber last = parent == 0 ? lastAtRoot_ : nodes_[parent].firstChild;
  while (parent != 0 && last != 0 && nodes_[last].nextSibling != 0) last = nodes_[last].nextSibling;
  if (last != 0) nodes_[last].nextSibling = node;
  else nodes_[parent].firstChild = node;
  if (parent == 0) lastAtRoot_ = node;
}

std::string_view TreeModel::Text(NodeNumber node) const { return {ZeroTerminatedText(node), nodes_[node].textLength}; }

const char* TreeModel::ZeroTerminatedText(NodeNumber node) const {
  const Node& n = nodes_[node];
  if (n.textAt == kMissing || textBlocks_.empty()) return "";
  return textBlocks_[n.textAt / kTextBlock].get() + n.textAt % kTextBlock;
}

NodeNumber TreeModel::NodeOfItem(uintptr_t item) const {
  if (item == 0) return 0;
  for (NodeNumber node = 1; node < nodes_.size(); ++node)
    if (nodes_[node].item == item) return node;
  return 0;
}

NodeNumber TreeModel::Next(NodeNumber node) const {
  if (nodes_[node].firstChild != 0) return nodes_[node].firstChild;
  for (; node != 0; node = nodes_[node].parent)
    if (nodes_[node].nextSibling != 0) return nodes_[node].nextSibling;
  return 0;
}

}  // namespace lurvik
