// TreeInsertion: finished stretches of the model, top-down, each parent's children last to
// first with TVI_FIRST, the root's in number order with TVI_LAST, resumable between slices.
#include "toolkit/tree_insertion.h"

#include <algorithm>
#include <new>

namespace lurvik {

void TreeInsertion::Reset() {
  begun_ = finished_ = 0;
  first_ = 1;
  std::vector<uint32_t>().swap(childStart_);
  std::vector<NodeNumber>().swap(children_);
  roots_ = {};
  parents_.clear();
}

// Indexes the next finished stretch: each node's children in number order, counted out by
// parent. A node whose parent is not an earlier node of the stretch, or one the tree never
// got, is appended: at the root, or under its parent of an earlier stretch.
bool TreeInsertion::Begin(const TreeModel& model) {
  if (begun_ > model.Count()) return Reset(), false;  // the model was cleared and not yet finished anew
  const NodeNumber last = std::min(finished_, model.Count());
  if (begun_ >= last) {
    std::vector<uint32_t>().swap(childStart_);  // nothing held between stretches
    std::vector<NodeNumber>().swap(children_);
    return false;
  }
  first_ = begun_ + 1;
  begun_ = last;
  try {
    const size_t count = last - first_ + 1;
    childStart_.assign(count + 1, 0);
    children_.assign(count, 0);
    auto hasParentInStretch = [&](NodeNumber node) {
      const NodeNumber parent = model.Parent(node);
      return parent >= first_ && parent < node && !model.Missing(parent);
    };
    for (NodeNumber node = first_; node <= last; ++node)
      if (!model.Missing(node) && hasParentInStretch(node)) ++childStart_[model.Parent(node) - first_ + 1];
    for (size_t i = 1; i <= count; ++i) childStart_[i] += childStart_[i - 1];
    std::vector<uint32_t> next(childStart_.begin(), childStart_.end() - 1);
    for (NodeNumber node = first_; node <= last; ++node) {
      if (model.Missing(node)) continue;
      if (hasParentInStretch(node)) children_[next[model.Parent(node) - first_]++] = node;
      else roots_.push(node);
    }
  } catch (const std::bad_alloc&) {
    roots_ = {};  // the stretch is left out
  }
  return true;
}

void TreeInsertion::Descend(NodeNumber node) {
  const uint32_t end = childStart_[node - first_ + 1];
  if (end != childStart_[node - first_]) parents_.push_back({node, end});
}

void TreeInsertion::Insert(TreeModel& model, TreeControl& control, NodeNumber node, NodeNumber parent, InsertPlace place) {
  const uintptr_t item = control.Insert(model.Item(parent), place, model.ZeroTerminatedText(node), model.Image(node));
  model.Place(node, parent, item, place);
  if (item != 0) return Descend(node);
  for (uint32_t i = childStart_[node - first_]; i < childStart_[node - first_ + 1]; ++i) roots_.push(children_[i]);
}

// One step inserts one node: the next child (from the last) of the innermost parent still
// open, else the smallest node to append, whose subtree follows before the next one. A node
// sent to the root by a refusal has a larger number than the appended node whose subtree
// refused its parent, so the nodes are appended in number order.
bool TreeInsertion::Run(TreeModel& model, TreeControl& control, const std::function<bool()>& sliceOver) try {
  for (uint32_t inserts = 0;;) {
    if (!parents_.empty()) {
      Parent& parent = parents_.back();
      if (parent.childrenLeft == childStart_[parent.node - first_]) {
        parents_.pop_back();
        continue;
      }
      const NodeNumber child = children_[--parent.childrenLeft], under = parent.node;
      Insert(model, control, child, under, InsertPlace::First);
    } else if (!roots_.empty()) {
      const NodeNumber node = roots_.top(), parent = model.Parent(node);
      roots_.pop();
      const bool earlier = parent != 0 && parent < first_ && model.Item(parent) != 0;
      Insert(model, control, node, earlier ? parent : 0, InsertPlace::Last);
    } else if (!Begin(model)) {
      return true;
    } else {
      continue;
    }
    if (++inserts % 64 == 0 && sliceOver()) return false;
  }
} catch (const std::bad_alloc&) {
  roots_ = {};  // out of memory: the rest of the stretch is left out
  parents_.clear();
  return false;
}

}  // namespace lurvik
