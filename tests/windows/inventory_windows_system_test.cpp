// WindowsSystem against the real system (under Wine), for what the end-to-end comparison of
// the holder's log cannot show: the edges of the text conversion, the optional entry points
// of older systems when missing, and the images of a tree item.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

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

TEST(WindowsSystem, TreeItemCarriesItsImageAndSelectedImage) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  if (tree == nullptr) GTEST_SKIP() << "no window station for a tree view";
  HandleTree = reinterpret_cast<uintptr_t>(tree);
  WindowsSystem system;
  TreeItem root = system.InsertTreeItem("1234 / handle_holder.exe", 0, 0, 0);
  TreeItem child = system.InsertTreeItem("Handle: 32772", root, 11, 4);
  TVITEMA item = {};
  item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE;
  item.hItem = reinterpret_cast<HTREEITEM>(child);
  EXPECT_TRUE(SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(std::to_string(item.iImage) + " " + std::to_string(item.iSelectedImage), "11 4") << "image, selected image";
  HandleTree = 0;
  DestroyWindow(tree);
}
