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
  if (batch_.nodes.size() >= kTreeBatchNodes) Send();
  return number;
}

void TreeOutput::SendIfDue() {
  // Unsigned difference: right across the wrap of the millisecond counter.
  if (!batch_.nodes.empty() && system_.TickMilliseconds() - lastSent_ >= kTreeBatchMilliseconds) Send();
}

void TreeOutput::Send() {
  lastSent_ = system_.TickMilliseconds();  // a hand-over point even when nothing is held
  if (batch_.nodes.empty()) return;
  system_.SendTreeNodes(batch_);
  batch_.firstNumber = nextNumber_;
  batch_.texts.clear();
  batch_.nodes.clear();
}

}  // namespace lurvik
