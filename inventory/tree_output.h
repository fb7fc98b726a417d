// The scan's tree nodes, handed to the main thread in batches. Each node the scan makes gets a
// number (1, 2, 3, ... per scan; 0 is the root), by which later nodes name it as their parent;
// the main thread inserts a batch's nodes in order and keeps the tree item of every number.
// One synchronous message per batch instead of one per node: under Wine each cross-thread
// send costs two thread wake-ups through the server, about as much as the scan's own work
// on a handle.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/tree_model.h"

namespace lurvik {

class InventorySystem;

struct TreeNodeBatch {
  struct Node {
    uint32_t textOffset;  // into `texts`; the text ends with a zero byte there
    uint32_t textLength;
    NodeNumber parent;
    int32_t image;  // also the selected image
  };
  NodeNumber firstNumber = 1;  // the number of nodes[0]; the others follow on
  // Every node numbered so far is finished (the walk is between processes): the main thread
  // may insert them. Sent before each status text and at the end, also with no nodes.
  bool finishes = false;
  std::string texts;
  std::vector<Node> nodes;
};

// A batch goes when it holds this many nodes. Measured under Wine, 256, 1,024 and 4,096 cost
// the same in all (the inserts themselves dominate); at 70,000 handles, where Wine's tree view
// searches its items for each parent, a batch of 1,024 keeps the main thread about 25 ms.
constexpr size_t kTreeBatchNodes = 1024;
// Or, looked at after each entry, when this long has passed since the last batch or status
// text, so that a large scan
// still shows its tree growing many times a second.
constexpr uint32_t kTreeBatchMilliseconds = 50;

class TreeOutput {
 public:
  // `sendsNodes` false: the nodes are numbered as ever but neither kept nor sent. An
  // unattended run's window is hidden and ends with the scan, so nobody sees its tree; in
  // Wine, whose tree view gets dearer with every node, filling it took a third of a large
  // scan and most of its peak memory.
  TreeOutput(InventorySystem& system, bool sendsNodes);
  TreeOutput(const TreeOutput&) = delete;
  TreeOutput& operator=(const TreeOutput&) = delete;

  // Holds a node back for the next batch and returns its number; sends the batch when it is
  // full. Without sending only the number is given.
  NodeNumber Add(std::string_view text, NodeNumber parent, int32_t image);
  // Sends the held nodes when 50 ms have passed since the last batch; the walk asks after
  // every entry.
  void SendIfDue();
  // Sends the held nodes now, as finished (before a status text, at the end of the scan).
  void Send();

 private:
  void Deliver(bool finishes);

  InventorySystem& system_;
  const bool sendsNodes_;
  TreeNodeBatch batch_;
  NodeNumber nextNumber_ = 1;
  bool unfinished_ = false;  // nodes went without the mark that they are finished
  uint32_t lastSent_;
};

}  // namespace lurvik
