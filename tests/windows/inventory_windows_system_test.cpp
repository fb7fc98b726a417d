// WindowsSystem against the real system (under Wine), for what the end-to-end comparison of
// the holder's log cannot show: the edges of the text conversion, the optional entry points
// of older systems when missing, and the tree nodes as batches deliver them.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include <vector>

#include "inventory/tree_output.h"
#include "inventory/tree_receiver_win.h"
#include "inventory/windows_system_win.h"
#include "shell/app_state.h"
#include "shell/optional_entry_points_win.h"

using namespace lurvik;

TEST(WindowsSystem, WideToAnsiConvertsExactlyTheCountAndStopsAtZeroOrOverflow) {
  const std::u16string word = u"Gr\u00FC\u00DFe", withZero(u"ab\0cd", 5);
  const struct {
    const std::u16string& text;
    size_t count, maxBytes;
    std::string expected;
  } cases[] = {
      {word, 5, 261, "Gr\xFC\xDF" "e"},  // Windows-1252
      {word, 2, 261, "Gr"},
      {word, 0, 261, ""},
      {withZero, 5, 261, "ab"},
      {word, 5, 3, ""},  // does not fit: the conversion fails
  };
  WindowsSystem system;
  for (const auto& c : cases)
    EXPECT_EQ(system.WideToAnsi(c.text.data(), c.count, c.maxBytes), c.expected)
        << "count " << c.count << ", at most " << c.maxBytes << " bytes";
}

// Windows XP lacks some of the five: a missing one is never called and answers 0 (and "").
TEST(WindowsSystem, EachMissingEntryPointAnswersNothing) {
  WindowsSystem system;
  const SysHandle process = reinterpret_cast<uintptr_t>(GetCurrentProcess());
  const SysHandle thread = reinterpret_cast<uintptr_t>(GetCurrentThread());
  const struct {
    void** address;
    const char* name;
  } entryPoints[] = {
      {&GetProcessImageFileNameA_Address, "GetProcessImageFileNameA"},
      {&GetModuleFileNameExA_Address, "GetModuleFileNameExA"},
      {&GetProcessId_Address, "GetProcessId"},
      {&GetThreadId_Address, "GetThreadId"},
      {&GetProcessIdOfThread_Address, "GetProcessIdOfThread"},
  };
  for (int i = 0; i < 5; ++i) {
    LoadOptionalEntryPoints();  // all five present, then this one taken away
    ASSERT_NE(*entryPoints[i].address, nullptr) << entryPoints[i].name;
    *entryPoints[i].address = nullptr;
    std::string text = "stale";
    const uint32_t answer = i == 0   ? system.GetProcessImageFileNameA(process, text, 500)
                            : i == 1 ? system.GetModuleFileNameExA(process, text, 500)
                            : i == 2 ? system.GetProcessId(process)
                            : i == 3 ? system.GetThreadId(thread)
                                     : system.GetProcessIdOfThread(thread);
    EXPECT_EQ(std::to_string(answer) + " '" + (i < 2 ? text : "") + "'", "0 ''") << entryPoints[i].name << " missing";
  }
  for (const auto& entryPoint : entryPoints) *entryPoint.address = nullptr;  // as the other tests expect them
}

// The text, image and selected image of an item, and the text of its parent ("" at the root).
std::string ItemText(HWND tree, HTREEITEM item) {
  char text[64] = {}, parentText[64] = {};
  TVITEMA record = {};
  record.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
  record.hItem = item;
  record.pszText = text;
  record.cchTextMax = sizeof text;
  if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&record))) return "no item";
  const std::string own = std::string(text) + " " + std::to_string(record.iImage) + "/" + std::to_string(record.iSelectedImage);
  record.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
  record.mask = TVIF_TEXT | TVIF_HANDLE;
  record.pszText = parentText;
  if (record.hItem) SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&record));
  return own + " under '" + parentText + "'";
}

// Two batches into a tree that takes them (the receiver) and one that does not (each node then
// goes on its own): items in order, parents named across batches, image and selected image.
TEST(WindowsSystem, TreeNodeBatchesKeepOrderParentsAndImages) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  for (bool receiver : {true, false}) {
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    if (tree == nullptr) GTEST_SKIP() << "no window station for a tree view";
    if (receiver) ASSERT_TRUE(InstallTreeReceiver(tree));
    HandleTree = reinterpret_cast<uintptr_t>(tree);
    {
      WindowsSystem system;
      TreeOutput output(system, true);
      const NodeNumber process = output.Add("1234 / handle_holder.exe", 0, 0);
      const NodeNumber type = output.Add("Thread", process, 4);
      output.Send();
      const NodeNumber handle = output.Add("Handle: 32772", type, 11);
      output.Add("TID: 7", handle, 4);
      output.Add("Handle: 32776", type, 11);
      output.Send();
    }
    std::vector<std::string> items;
    for (HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); item != nullptr;
         item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(item)))) {
      items.push_back(ItemText(tree, item));
      SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    }
    EXPECT_EQ(items, (std::vector<std::string>{"1234 / handle_holder.exe 0/0 under ''", "Thread 4/4 under '1234 / handle_holder.exe'",
                                               "Handle: 32772 11/11 under 'Thread'", "TID: 7 4/4 under 'Handle: 32772'",
                                               "Handle: 32776 11/11 under 'Thread'"}))
        << (receiver ? "with" : "without") << " the receiver";
    HandleTree = 0;
    DestroyWindow(tree);
  }
}
