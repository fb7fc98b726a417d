// WindowsSystem against the real system (under Wine), for what the end-to-end comparison of
// the holder's log cannot show: the edges of the text conversion, the optional entry points
// of older systems when missing, and the tree's receiver of the scan's batches: what it
// inserts, what it takes from which sender.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "inventory/ansi_characters.h"
#include "inventory/tree_output.h"
#include "inventory/tree_receiver_win.h"
#include "inventory/windows_system_win.h"
#include "shell/app_state.h"
#include "shell/optional_entry_points_win.h"
#include "toolkit/system_handle_win.h"

using namespace lurvik;

// In the ANSI code page of the run: Windows-1252 by default, 932 under a Japanese locale (tools/test
// runs this test in both). A character the code page holds keeps its bytes, a double-byte one
// included; one it lacks is "?", not its best fit ("a" for U+0101, "e" for the full-width U+FF45).
// A name cut to 2502 bytes is cut before a double-byte character that would not fit whole.
TEST(WindowsSystem, WideToAnsiConvertsWithoutBestFitExactlyTheCountAndStopsAtZeroOrOverflow) {
  const UINT codePage = GetACP();
  if (codePage != 1252 && codePage != 932) GTEST_SKIP() << "ANSI code page " << codePage;
  const bool japanese = codePage == 932;
  const std::u16string word = u"Gr\u00FC\u00DFe", withZero(u"ab\0cd", 5), lacking = u"\u0101bc \uFF45vil \u4E2D\u8868";
  const struct {
    const std::u16string& text;
    size_t count, maxBytes;
    std::string expected;
  } cases[] = {
      {word, 5, 261, japanese ? "Gr??e" : "Gr\xFC\xDF" "e"},
      {lacking, 11, 261, japanese ? "?bc \x82\x85vil \x92\x86\x95\x5C" : "?bc ?vil ??"},
      {word, 2, 261, "Gr"},
      {word, 0, 261, ""},
      {withZero, 5, 261, "ab"},
      {word, 5, 3, ""},  // does not fit: the conversion fails
  };
  WindowsSystem system;
  for (const auto& c : cases)
    EXPECT_EQ(system.WideToAnsi(c.text.data(), c.count, c.maxBytes), c.expected)
        << "count " << c.count << ", at most " << c.maxBytes << " bytes";
  const std::u16string longName = std::u16string(2501, u'n') + u"\u8868";
  const std::string cut = CutToWholeCharacters(system, system.WideToAnsi(longName.data(), longName.size(), 10000), 2502);
  EXPECT_EQ(cut, std::string(2501, 'n') + (japanese ? "" : "?"));
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
      {&GetProcessImageFileNameW_Address, "GetProcessImageFileNameW"},
      {&GetModuleFileNameExW_Address, "GetModuleFileNameExW"},
      {&GetProcessId_Address, "GetProcessId"},
      {&GetThreadId_Address, "GetThreadId"},
      {&GetProcessIdOfThread_Address, "GetProcessIdOfThread"},
  };
  for (int i = 0; i < 5; ++i) {
    LoadOptionalEntryPoints();  // all five present, then this one taken away
    ASSERT_NE(*entryPoints[i].address, nullptr) << entryPoints[i].name;
    *entryPoints[i].address = nullptr;
    std::u16string text = u"stale";
    const uint32_t answer = i == 0   ? system.GetProcessImageFileNameW(process, text, 500)
                            : i == 1 ? system.GetModuleFileNameExW(process, text, 500)
                            : i == 2 ? system.GetProcessId(process)
                            : i == 3 ? system.GetThreadId(thread)
                                     : system.GetProcessIdOfThread(thread);
    EXPECT_EQ(std::to_string(answer) + " " + std::to_string(i < 2 ? text.size() : 0), "0 0") << entryPoints[i].name << " missing";
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

// Every item in display order, each opened so that its children follow it.
std::vector<std::string> TreeItems(HWND tree) {
  std::vector<std::string> items;
  for (HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); item != nullptr;
       item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(item)))) {
    items.push_back(ItemText(tree, item));
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  }
  return items;
}

HWND NewTree(bool receiver) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  if (tree != nullptr && receiver && !InstallTreeReceiver(tree)) ADD_FAILURE() << "no receiver";
  return tree;
}

// The receiver with a table in which node 2 was refused (item 0) beside the good node 1: node
// 4, a child of 2, lands at the root; the others under their own parents.
TEST(TreeReceiver, ChildrenOfARefusedNodeLandAtTheRootTheOthersUnderTheirParents) {
  HWND tree = NewTree(true);
  if (tree == nullptr) GTEST_SKIP() << "no window station for a tree view";
  TreeNodeBatch first;
  first.texts = std::string("A\0", 2);
  first.nodes = {{0, 1, 0, 0}};
  std::vector<uintptr_t> items(7, 0);
  ASSERT_TRUE(SendTreeNodeDelivery(tree, {&first, items.data(), items.size()}));
  ASSERT_NE(items[1], 0u);
  TreeNodeBatch second;
  second.firstNumber = 3;
  second.texts = std::string("C\0D\0E\0F\0", 8);
  second.nodes = {{0, 1, 1, 4}, {2, 1, 2, 5}, {4, 1, 3, 11}, {6, 1, 0, 2}};
  ASSERT_TRUE(SendTreeNodeDelivery(tree, {&second, items.data(), items.size()}));
  EXPECT_EQ(TreeItems(tree), (std::vector<std::string>{"A 0/0 under ''", "C 4/4 under 'A'", "E 11/11 under 'C'",
                                                       "D 5/5 under ''", "F 2/2 under ''"}));
  EXPECT_EQ(std::count(items.begin() + 3, items.end(), 0u), 0) << "an item for each of nodes 3 to 6";
  DestroyWindow(tree);
}

// A delivery that looks like the scan's, made by a foreign sender: its item table is what a
// receiver that followed the pointer would write into.
uintptr_t ForgedItems[4];
TreeNodeBatch ForgedBatch;
TreeNodeDelivery Forged{&ForgedBatch, ForgedItems, 4};

// What reaches the tree's procedure: the batch messages and the answers they got, and the
// inserts that came from another thread (the node-by-node fallback).
// (InSendMessage stays true for the receiver's own inserts while it serves a batch, so those
// are told apart by the batch being served.)
// With `forgeInside`, the first batch message of each delivery brings three forged ones, sent
// from inside the tree's procedure while the real delivery is announced: the forged delivery
// with the real key, the real address with a wrong key, and the real address with none.
struct TreeTraffic {
  WNDPROC inner;
  bool forgeInside = false;
  bool servingBatch = false;
  std::vector<LRESULT> batchAnswers;
  int insertsFromOtherThreads = 0;
} Traffic;

LRESULT CALLBACK CountingProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == TVM_INSERTITEMA && !Traffic.servingBatch && InSendMessage()) ++Traffic.insertsFromOtherThreads;
  if (message != kInsertTreeNodesMessage) return CallWindowProcA(Traffic.inner, tree, message, wParam, lParam);
  const bool outer = !Traffic.servingBatch;
  Traffic.servingBatch = true;
  if (outer && Traffic.forgeInside) {
    SendMessageA(tree, message, wParam, reinterpret_cast<LPARAM>(&Forged));
    SendMessageA(tree, message, wParam ^ 1, lParam);
    SendMessageA(tree, message, 0, lParam);
  }
  const LRESULT answer = CallWindowProcA(Traffic.inner, tree, message, wParam, lParam);
  Traffic.servingBatch = !outer;
  Traffic.batchAnswers.push_back(answer);
  return answer;
}

volatile LONG AccessViolations;
LONG CALLBACK CountAccessViolations(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) InterlockedIncrement(&AccessViolations);
  return EXCEPTION_CONTINUE_SEARCH;
}

// The scan's side, on a thread of its own: unless forging inside, first two foreign messages
// (a pointer to nowhere and the forged delivery); then two batches with a parent named across
// them.
DWORD WINAPI ScanThread(void*) {
  const HWND tree = reinterpret_cast<HWND>(HandleTree);
  if (!Traffic.forgeInside) {
    SendMessageA(tree, kInsertTreeNodesMessage, 0, 0x10);
    SendMessageA(tree, kInsertTreeNodesMessage, 0, reinterpret_cast<LPARAM>(&Forged));
  }
  WindowsSystem system;
  TreeOutput output(system, true);
  const NodeNumber process = output.Add("1234 / handle_holder.exe", 0, 0);
  const NodeNumber type = output.Add("Thread", process, 4);
  output.Send();
  const NodeNumber handle = output.Add("Handle: 32772", type, 11);
  output.Add("TID: 7", handle, 4);
  output.Add("Handle: 32776", type, 11);
  output.Send();
  return 0;
}

// The tree takes each batch itself when it has the receiver (one message per batch, answered
// 1, no insert from the scan's thread); without it each node comes on its own. The tree is
// the same either way. Foreign messages of the same number are answered 0, and nothing is
// read or written through their pointers: sent between deliveries, and sent while a delivery
// is announced, with its key or with its address.
TEST(TreeReceiver, TakesEachBatchFromTheScanThreadAndNothingFromOtherSenders) {
  ForgedBatch.texts = std::string("forged\0", 7);
  ForgedBatch.nodes = {{0, 6, 0, 0}};
  void* handler = AddVectoredExceptionHandler(1, CountAccessViolations);
  for (auto [receiver, forgeInside] : {std::pair{true, false}, {false, false}, {true, true}}) {
    SCOPED_TRACE(forgeInside ? "forged inside the deliveries" : receiver ? "with the receiver" : "without the receiver");
    HWND tree = NewTree(receiver);
    if (tree == nullptr) GTEST_SKIP() << "no window station for a tree view";
    Traffic = TreeTraffic{};
    Traffic.forgeInside = forgeInside;
    Traffic.inner = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProcedure)));
    HandleTree = reinterpret_cast<uintptr_t>(tree);
    AccessViolations = 0;
    SystemHandle scan(CreateThread(nullptr, 0, ScanThread, nullptr, 0, nullptr));
    ASSERT_TRUE(scan);
    HANDLE waitFor = scan.Get();
    while (MsgWaitForMultipleObjects(1, &waitFor, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
      for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
    ASSERT_EQ(WaitForSingleObject(scan.Get(), 0), WAIT_OBJECT_0) << "the scan thread ended";
    HandleTree = 0;
    EXPECT_EQ(TreeItems(tree), (std::vector<std::string>{"1234 / handle_holder.exe 0/0 under ''", "Thread 4/4 under '1234 / handle_holder.exe'",
                                                         "Handle: 32772 11/11 under 'Thread'", "TID: 7 4/4 under 'Handle: 32772'",
                                                         "Handle: 32776 11/11 under 'Thread'"}));
    if (forgeInside) EXPECT_EQ(Traffic.batchAnswers, (std::vector<LRESULT>{0, 0, 0, 1, 0, 0, 0, 1})) << "three forged inside each batch";
    else if (receiver) EXPECT_EQ(Traffic.batchAnswers, (std::vector<LRESULT>{0, 0, 1, 1})) << "two foreign messages, two batches";
    EXPECT_EQ(Traffic.insertsFromOtherThreads, receiver ? 0 : 5);
    EXPECT_EQ(AccessViolations, 0);
    EXPECT_EQ(ForgedItems[0] + ForgedItems[1] + ForgedItems[2] + ForgedItems[3], 0u) << "written through a foreign pointer";
    DestroyWindow(tree);
  }
  RemoveVectoredExceptionHandler(handler);
}
