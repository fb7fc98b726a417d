// AddHandleNode, AddDetailLine and AddAccessLine: tree node and log line in the same words.
#include "inventory/handle_output.h"

#include "shell/language_text.h"
#include "toolkit/text.h"

namespace lurvik {

namespace {
constexpr int32_t kHandleImage = 11;
}

NodeNumber AddHandleNode(TreeOutput& tree, TypeRow& row, uint64_t handleValue) {
  const NodeNumber parent = static_cast<NodeNumber>(ParseInteger(row.TypeNodeId));
  std::string text = "Handle: " + DecimalText(static_cast<int64_t>(handleValue));
  const NodeNumber node = tree.Add(text, parent, kHandleImage);
  row.TypeLogBlock.append("    ").append(text).append("\r\n");
  return node;
}

void AddDetailLine(TreeOutput& tree, TypeRow& row, NodeNumber handleNode, const std::string& text, int32_t image) {
  tree.Add(text, handleNode, image);
  row.TypeLogBlock.append("      ").append(text).append("\r\n");
}

void AddAccessLine(TreeOutput& tree, TypeRow& row, NodeNumber handleNode, uint32_t mask, int32_t image) {
  std::string text = LanguageText(8) + "0x" + HexText(mask);
  if (!row.TypeGenericAll.empty()) text.append(" (").append(row.TypeGenericAll).append(")");
  AddDetailLine(tree, row, handleNode, text, image);
}

}  // namespace lurvik
