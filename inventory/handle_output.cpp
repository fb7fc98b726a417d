// AddHandleNode, AddDetailLine and AddAccessLine: tree node and log line in the same words.
#include "inventory/handle_output.h"

#include "shell/language_text.h"
#include "toolkit/text.h"

namespace lurvik {

namespace {
constexpr int32_t kHandleImage = 11;
}

TreeItem AddHandleNode(InventorySystem& system, TypeRow& row, uint64_t handleValue) {
  const TreeItem parent = static_cast<TreeItem>(ParseInteger(row.TypeNodeId));
  const std::string value = DecimalText(static_cast<int64_t>(handleValue));
  const TreeItem item = system.InsertTreeItem("Handle: " + value, parent, kHandleImage, kHandleImage);
  row.TypeLogBlock.append("    Handle: ").append(value).append("\r\n");
  return item;
}

void AddDetailLine(InventorySystem& system, TypeRow& row, TreeItem handleNode, const std::string& text, int32_t image) {
  system.InsertTreeItem(text, handleNode, image, image);
  row.TypeLogBlock.append("      ").append(text).append("\r\n");
}

void AddAccessLine(InventorySystem& system, TypeRow& row, TreeItem handleNode, uint32_t mask, int32_t image) {
  std::string text = LanguageText(8) + "0x" + HexText(mask);
  if (!row.TypeGenericAll.empty()) text += " (" + row.TypeGenericAll + ")";
  AddDetailLine(system, row, handleNode, text, image);
}

}  // namespace lurvik
