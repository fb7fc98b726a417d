// TreeOutput: numbers the scan's nodes and sends them in batches.
#include "inventory/tree_output.h"

#include "inventory/inventory_system.h"

namespace lurvik {

TreeOutput::TreeOutput(InventorySystem& system, bool sendsNodes)
    : system_(system), sendsNodes_(sendsNodes), lastSent_(system.TickMilliseconds()) {
  if (!sendsNodes_) return;
  batch_.texts.reserve(64 * kTreeBatchNodes);
  batch_.nodes.reserve(kTreeBatchNodes);
}

NodeNumber TreeOutput::Add(std::string_view text, NodeNumber parent, int32_t image) {
  if (!sendsNodes_) return nextNumber_++;
  const uint32_t offset = static_cast<uint32_t>(batch_.texts.size());
  batch_.texts.append(text).push_back('\0');
  batch_.nodes.push_back({offset, static_cast<uint32_t>(text.size()), parent, image});
  const NodeNumber number = nextNumber_++;
  if (batch_.nodes.size() >= kTreeBatchNodes) Deliver(false);
  return number;
}

void TreeOutput::SendIfDue() {
  // Unsigned difference: right across the wrap of the millisecond counter.
  if (!batch_.nodes.empty() && system_.TickMilliseconds() - lastSent_ >= kTreeBatchMilliseconds) Deliver(false);
}

void TreeOutput::Send() {
  if (batch_.nodes.empty() && !unfinished_) lastSent_ = system_.TickMilliseconds();  // a hand-over point all the same
  else Deliver(true);
}

// The time is taken after the send, which lasts as long as the main thread inserts a
// finished process.
void TreeOutput::Deliver(bool finishes) {
  batch_.finishes = finishes;
  system_.SendTreeNodes(batch_);
  lastSent_ = system_.TickMilliseconds();
  unfinished_ = !finishes;
  batch_.firstNumber = nextNumber_;
  batch_.texts.clear();
  batch_.nodes.clear();
}

}  // namespace lurvik
