// The order in which a tree view gets the model's finished nodes, so that no insert costs more
// as the tree grows. Windows' tree view finds an insert's place by walking the parent's
// children from the first: all of them for TVI_LAST, up to the named item for an item, none for
// TVI_FIRST. Appending k children one by one would cost k*k/2 steps, minutes for a process of
// 100,000 handles.
//
// So the nodes go in a finished stretch at a time (the receiver finishes one when the scan
// leaves a process), top-down, each parent's children last to first with TVI_FIRST: nothing
// walked. Only the root takes TVI_LAST, in number order: one node per process (a machine has a
// few thousand at most), and the children of a refused node, which land at the root as when
// each node was appended. (So does a node whose parent was finished in an earlier stretch,
// under that parent; the scan never makes one.) The finished tree is the one of appending every node in number order
// as the last child of its parent. Sorting children after TVI_FIRST inserts (TVM_SORTCHILDRENCB)
// would show a type node's handles reversed until its process ends; this way a process shows up
// whole, and find and copy see exactly the processes placed so far.
#pragma once
#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

#include "toolkit/tree_model.h"

namespace lurvik {

// The control: inserts a node and returns its item, 0 when refused (its children then go to
// the root). parentItem 0 is the root.
class TreeControl {
 public:
  virtual uintptr_t Insert(uintptr_t parentItem, InsertPlace place, const char* text, int32_t image) = 0;

 protected:
  ~TreeControl() = default;
};

class TreeInsertion {
 public:
  // Every node of the model up to `last` is finished: its subtree will not grow.
  void Finish(NodeNumber last) { finished_ = last; }
  // Inserts finished nodes until none is left (true) or `sliceOver` says stop (false; asked
  // after every 64 inserts). Out of memory for a stretch's index, its nodes are left out, as
  // refused inserts would be.
  bool Run(TreeModel& model, TreeControl& control, const std::function<bool()>& sliceOver);
  // Forgets everything begun (the model was cleared).
  void Reset();

 private:
  bool Begin(const TreeModel& model);
  void Insert(TreeModel& model, TreeControl& control, NodeNumber node, NodeNumber parent, InsertPlace place);
  void Descend(NodeNumber node);

  NodeNumber begun_ = 0;     // nodes up to this one are inserted or being inserted
  NodeNumber finished_ = 0;  // nodes up to this one may be inserted
  // The stretch being inserted: first_ to begun_. Each node's children in number order
  // (childStart_[n - first_] to childStart_[n - first_ + 1] in children_).
  NodeNumber first_ = 1;
  std::vector<uint32_t> childStart_;
  std::vector<NodeNumber> children_;
  // Nodes to append, smallest number first (those bound for the root, and any whose parent
  // stands in an earlier stretch); parents whose children are still to be inserted, each with
  // the end of those children not inserted yet.
  std::priority_queue<NodeNumber, std::vector<NodeNumber>, std::greater<NodeNumber>> roots_;
  struct Parent { NodeNumber node; uint32_t childrenLeft; };
  std::vector<Parent> parents_;
};

}  // namespace lurvik
