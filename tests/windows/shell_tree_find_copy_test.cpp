// Find and copy on a real tree view: the nodes handed over as the scan hands them (the tree's
// receiver inserts and keeps them), the found node selected with its parents expanded, a find
// without a match leaving the selection, and the clipboard's text of a process node.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/tree_receiver_win.h"
#include "shell/app_state.h"
#include "shell/tree_copy_win.h"
#include "shell/tree_find_win.h"
#include "toolkit/window_layer_win.h"

using namespace lurvik;

namespace {

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "(no clipboard)";
  HANDLE data = GetClipboardData(CF_TEXT);
  if (const char* bytes = data ? static_cast<const char*>(GlobalLock(data)) : nullptr) {
    text = bytes;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

LPARAM Caret(HWND tree) { return SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0); }

}  // namespace

TEST(TreeFindAndCopy, SelectsWithParentsExpandedAndCopiesTheLogsLines) {
  MainWindow = CreateAppWindow(10, 10, 400, 300, "Find test", 0x00CF0000);
  if (MainWindow == 0) GTEST_SKIP() << "no window could be created (no display?)";
  HWND tree = CreateWindowExA(0, "SysTreeView32", "", 0x50400017, 0, 0, 380, 280, WindowHandle(MainWindow), nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  HandleTree = reinterpret_cast<uintptr_t>(tree);
  ASSERT_TRUE(InstallTreeReceiver(tree));
  // A process with an Event handle and an empty File type, then a second process.
  const std::vector<std::pair<std::string, NodeNumber>> nodes = {
      {"10 / a.exe", 0}, {"Event", 1}, {"File", 1}, {"Handle: 8", 2}, {"Name of Object: \\E", 4},
      {"Opened with Access Rights: 0x1 (0x1F0003)", 4}, {"20 / b.exe", 0}};
  TreeNodeBatch batch;
  for (const auto& [text, parent] : nodes) {
    batch.nodes.push_back({static_cast<uint32_t>(batch.texts.size()), static_cast<uint32_t>(text.size()), parent, 11});
    batch.texts += text + '\0';
  }
  batch.finishes = true;
  TreeNodeDelivery delivery{&batch};
  ASSERT_TRUE(SendTreeNodeDelivery(tree, delivery));  // this thread: taken at once
  auto items = [](NodeNumber node) { return KeptTreeNodes.Item(node); };

  FindInTree({"\\e", true, false, false});
  EXPECT_EQ(Caret(tree), static_cast<LPARAM>(items(5)));
  for (NodeNumber parent : {4, 2, 1})
    EXPECT_TRUE(SendMessageA(tree, TVM_GETITEMSTATE, items(parent), TVIS_EXPANDED) & TVIS_EXPANDED) << "parent " << parent;
  FindInTree({"nowhere", true, false, false});
  EXPECT_EQ(Caret(tree), static_cast<LPARAM>(items(5))) << "a find without a match keeps the selection";

  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, items(1));
  ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard());  // nothing left from before
  CopySelectedSubtree();
  EXPECT_EQ(ClipboardText(), "10 / a.exe\r\n  Event\r\n    Handle: 8\r\n      Name of Object: \\E\r\n"
                             "      Opened with Access Rights: 0x1 (0x1F0003)\r\n");

  KeptTreeNodes.Clear();
  HandleTree = 0;
  CloseAppWindow(MainWindow);
  MainWindow = 0;
}
