// KeptNodes: the main thread's copy of the tree's nodes and their top-down order.
#include "inventory/kept_nodes.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lurvik {

KeptNodes KeptTreeNodes;

KeptNodes::KeptNodes() { nodes_.emplace_back(); }

void KeptNodes::Clear() {
  nodes_.clear();
  nodes_.emplace_back();
  textBlocks_.clear();
  blockUsed_ = kTextBlock;
}

void KeptNodes::KeepText(std::string_view text, Node& node) {
  const uint32_t length = static_cast<uint32_t>(std::min<size_t>(text.size(), kTextBlock));
  if (kTextBlock - blockUsed_ < length) {
    textBlocks_.push_back(std::make_unique<char[]>(kTextBlock));
    blockUsed_ = 0;
  }
  std::memcpy(textBlocks_.back().get() + blockUsed_, text.data(), length);
  node.textAt = static_cast<uint32_t>(textBlocks_.size() - 1) * kTextBlock + blockUsed_;
  node.textLength = length;
  blockUsed_ += length;
}

// Runs inside the tree's window procedure: out of memory, the copy ends with the nodes kept so
// far instead of an exception leaving the procedure.
void KeptNodes::Keep(const TreeNodeBatch& batch, const uintptr_t* items, size_t itemCount) try {
  if (batch.firstNumber == 1) Clear();
  if (batch.firstNumber <= Count()) return;  // numbers kept already: not this scan's next batch
  while (Count() + 1 < batch.firstNumber) nodes_.emplace_back();  // a batch the tree never got
  const std::string_view texts(batch.texts);
  for (const TreeNodeBatch::Node& source : batch.nodes) {
    const NodeNumber number = static_cast<NodeNumber>(nodes_.size());
    Node& node = nodes_.emplace_back();
    if (source.textOffset <= texts.size()) KeepText(texts.substr(source.textOffset, source.textLength), node);
    node.item = number < itemCount ? items[number] : 0;
    if (node.item == 0) continue;
    node.parent = source.parent < number && nodes_[source.parent].item != 0 ? source.parent : 0;
    Node& parent = nodes_[node.parent];
    if (parent.lastChild != 0) nodes_[parent.lastChild].nextSibling = number;
    else parent.firstChild = number;
    parent.lastChild = number;
  }
} catch (const std::bad_alloc&) {
}

std::string_view KeptNodes::Text(NodeNumber node) const {
  const Node& n = nodes_[node];
  if (n.textLength == 0) return {};
  return {textBlocks_[n.textAt / kTextBlock].get() + n.textAt % kTextBlock, n.textLength};
}

NodeNumber KeptNodes::NodeOfItem(uintptr_t item) const {
  if (item == 0) return 0;
  for (NodeNumber node = 1; node < nodes_.size(); ++node)
    if (nodes_[node].item == item) return node;
  return 0;
}

NodeNumber KeptNodes::Next(NodeNumber node) const {
  if (nodes_[node].firstChild != 0) return nodes_[node].firstChild;
  for (; node != 0; node = nodes_[node].parent)
    if (nodes_[node].nextSibling != 0) return nodes_[node].nextSibling;
  return 0;
}

}  // namespace lurvik
