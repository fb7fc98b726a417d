// WindowsSystem against the real system (under Wine), for what the end-to-end comparison of
// the holder's log cannot show: the edges of the text conversion, the optional entry points
// of older systems when missing, and the tree's receiver of the scan's batches: what it
// inserts and how (held to the control's documented cost), what it takes from which sender,
// and find and copy over the model it fills.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "inventory/ansi_characters.h"
#include "inventory/tree_output.h"
#include "inventory/tree_receiver_win.h"
#include "inventory/windows_system_win.h"
#include "shell/app_state.h"
#include "shell/optional_entry_points_win.h"
#include "shell/tree_copy_win.h"
#include "shell/tree_find_win.h"
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

HWND NewTree(bool receiver) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  if (tree != nullptr && receiver && !InstallTreeReceiver(tree)) ADD_FAILURE() << "no receiver";
  return tree;
}

// Runs `scan` on a thread of its own with HandleTree set to `tree`, serving this thread's
// messages until it ends.
bool RunScanThread(HWND tree, LPTHREAD_START_ROUTINE scan) {
  HandleTree = reinterpret_cast<uintptr_t>(tree);
  SystemHandle thread(CreateThread(nullptr, 0, scan, nullptr, 0, nullptr));
  HANDLE waitFor = thread.Get();
  while (thread && MsgWaitForMultipleObjects(1, &waitFor, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
  HandleTree = 0;
  return thread && WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0;
}

// A delivery that looks like the scan's, made by a foreign sender: a receiver that followed the
// pointer would hold its node and write its answer there.
TreeNodeBatch ForgedBatch;
TreeNodeDelivery Forged{&ForgedBatch, true};

// What reaches the tree's procedure: the batch messages and the answers they got, the inserts
// that came from another thread (the fallback; InSendMessage stays true for the receiver's own
// inserts while it serves a batch, so those are told apart by the batch being served), and
// every insert held to the control's documented rule: the children it walks to find the place
// (TVI_LAST: all of the parent's, a named item: up to it, TVI_FIRST: none) and the tree the
// inserts make by that rule, written out with two blanks per level. A message is posted to the
// tree in the first batch message after inserts began; it must be served before the next one.
// With `forgeInside`, the first batch message of each delivery brings three forged ones, sent
// from inside the tree's procedure while the real delivery is announced: the forged delivery
// with the real key, the real address with a wrong key, and the real address with none.
struct TreeTraffic {
  WNDPROC inner;
  bool forgeInside = false, servingBatch = false;
  std::vector<LRESULT> batchAnswers;
  int insertsFromOtherThreads = 0;
  std::map<HTREEITEM, std::deque<HTREEITEM>> children;  // nullptr: the root
  std::map<HTREEITEM, std::string> texts;
  uint64_t inserts = 0, walked = 0;
  size_t postedAtBatch = 0, servedAtBatch = 0;
  std::string Text(HTREEITEM item = nullptr, size_t depth = 0) {
    std::string text = item == nullptr ? "" : std::string(2 * (depth - 1), ' ') + texts[item] + "\n";
    for (HTREEITEM child : children[item]) text += Text(child, depth + 1);
    return text;
  }
} Traffic;
constexpr UINT kPostedDuringInsertion = WM_APP + 7;

void RecordInsert(const TVINSERTSTRUCTA& record, HTREEITEM item) {
  std::deque<HTREEITEM>& list = Traffic.children[record.hParent == TVI_ROOT ? nullptr : record.hParent];
  ++Traffic.inserts;
  if (record.hInsertAfter == TVI_FIRST) list.push_front(item);
  else if (record.hInsertAfter == TVI_LAST) Traffic.walked += list.size(), list.push_back(item);
  else ADD_FAILURE() << "inserted after a named item or sorted";
  Traffic.texts[item] = std::string(record.item.pszText) + " " + std::to_string(record.item.iImage) + "/" +
                        std::to_string(record.item.iSelectedImage);
}

LRESULT CALLBACK TrafficProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPostedDuringInsertion) Traffic.servedAtBatch = Traffic.batchAnswers.size();
  if (message == TVM_INSERTITEMA && !Traffic.servingBatch && InSendMessage()) ++Traffic.insertsFromOtherThreads;
  if (message != kInsertTreeNodesMessage) {
    const LRESULT result = CallWindowProcA(Traffic.inner, tree, message, wParam, lParam);
    if (message == TVM_INSERTITEMA && result != 0) RecordInsert(*reinterpret_cast<TVINSERTSTRUCTA*>(lParam), reinterpret_cast<HTREEITEM>(result));
    return result;
  }
  const bool outer = !Traffic.servingBatch;
  Traffic.servingBatch = true;
  if (outer && Traffic.forgeInside) {
    SendMessageA(tree, message, wParam, reinterpret_cast<LPARAM>(&Forged));
    SendMessageA(tree, message, wParam ^ 1, lParam);
    SendMessageA(tree, message, 0, lParam);
  }
  if (outer && Traffic.inserts > 0 && Traffic.postedAtBatch == 0) {
    Traffic.postedAtBatch = Traffic.batchAnswers.size() + 1;
    PostMessageA(tree, kPostedDuringInsertion, 0, 0);
  }
  const LRESULT answer = CallWindowProcA(Traffic.inner, tree, message, wParam, lParam);
  Traffic.servingBatch = !outer;
  Traffic.batchAnswers.push_back(answer);
  return answer;
}

// A new tree with the recording procedure over the receiver (or none).
HWND NewRecordedTree(bool receiver, bool forgeInside = false) {
  HWND tree = NewTree(receiver);
  Traffic = TreeTraffic{};
  Traffic.forgeInside = forgeInside;
  if (tree) Traffic.inner = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TrafficProcedure)));
  return tree;
}

int TypesOfBigProcess;  // 1: 50,000 handles of one type; 3: of three types, beside two empty ones

DWORD WINAPI BigScanThread(void*) {
  WindowsSystem system;
  TreeOutput output(system, true);
  const NodeNumber process = output.Add("1 / big.exe", 0, 0);
  std::vector<NodeNumber> types;
  for (int t = 0; t < TypesOfBigProcess + 2; ++t) types.push_back(output.Add("Type " + std::to_string(t), process, 6));
  for (int h = 0; h < 50000; ++h) {
    const NodeNumber handle = output.Add("Handle: " + std::to_string(4 * h), types[h % TypesOfBigProcess], 11);
    if (h % 7 == 0) output.Add("Name", handle, 5);
    output.Add("Access", handle, 11);
  }
  output.Send();
  output.Add("2 / small.exe", 0, 0);
  output.Send();
  return 0;
}

// The scan's tree, process by process, in slices between which the window serves its
// messages: no insert makes the control walk a child list (only the second process's root
// insert walks the first process), where appending each node would walk about 25,000
// children per node; and the tree the inserts make is the one expected.
TEST(TreeReceiver, InsertsAProcessOf50000HandlesWithoutMakingTheControlWalkAChildList) {
  for (int types : {1, 3}) {
    SCOPED_TRACE(std::to_string(types) + " types");
    HWND tree = NewRecordedTree(true);
    if (tree == nullptr) GTEST_SKIP() << "no window station for a tree view";
    TypesOfBigProcess = types;
    ASSERT_TRUE(RunScanThread(tree, BigScanThread));
    std::string expected = "1 / big.exe 0/0\n";
    for (int t = 0; t < types + 2; ++t) {
      expected += "  Type " + std::to_string(t) + " 6/6\n";
      for (int h = t; t < types && h < 50000; h += types)
        expected += "    Handle: " + std::to_string(4 * h) + " 11/11\n" + (h % 7 == 0 ? "      Name 5/5\n" : "") + "      Access 11/11\n";
    }
    expected += "2 / small.exe 0/0\n";
    EXPECT_TRUE(Traffic.Text() == expected) << Traffic.Text().substr(0, 300);
    EXPECT_EQ(Traffic.inserts, 1 + types + 2 + 50000 + 7143 + 50000 + 1u);
    EXPECT_EQ(Traffic.walked, 1u);
    EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), static_cast<LRESULT>(Traffic.inserts)) << "the control holds every node";
    EXPECT_GT(Traffic.batchAnswers.size(), Traffic.inserts / kTreeBatchNodes + 3) << "the process went in in slices";
    EXPECT_GT(Traffic.postedAtBatch, 0u);
    EXPECT_EQ(Traffic.servedAtBatch, Traffic.postedAtBatch) << "a message posted in a slice is served before the next";
    DestroyWindow(tree);
  }
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "(no clipboard)";
  HANDLE data = GetClipboardData(CF_TEXT);
  if (const char* bytes = data ? static_cast<const char*>(GlobalLock(data)) : nullptr) text = bytes, GlobalUnlock(data);
  CloseClipboard();
  return text;
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
// 1, no insert from the scan's thread), and a find and the copy then read its model (the found
// node selected with its parents expanded, the process's lines in the log's form); without it
// each node comes on its own. The tree is the same either way. Foreign messages of the same number are answered 0, and nothing is
// read or written through their pointers: sent between deliveries, and sent while a delivery
// is announced, with its key or with its address.
TEST(TreeReceiver, TakesEachBatchFromTheScanThreadAndNothingFromOtherSenders) {
  ForgedBatch.texts = std::string("forged\0", 7);
  ForgedBatch.nodes = {{0, 6, 0, 0}};
  void* handler = AddVectoredExceptionHandler(1, CountAccessViolations);
  for (auto [receiver, forgeInside] : {std::pair{true, false}, {false, false}, {true, true}}) {
    SCOPED_TRACE(forgeInside ? "forged inside the deliveries" : receiver ? "with the receiver" : "without the receiver");
    HWND tree = NewRecordedTree(receiver, forgeInside);
    if (tree == nullptr) GTEST_SKIP() << "no window station for a tree view";
    AccessViolations = 0;
    ASSERT_TRUE(RunScanThread(tree, ScanThread)) << "the scan thread ended";
    if (receiver && !forgeInside) {  // find and copy over the model the receiver filled
      HandleTree = reinterpret_cast<uintptr_t>(tree);
      FindInTree({"tid: 7", true, false, false});
      const LPARAM found = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
      EXPECT_EQ(found, static_cast<LPARAM>(KeptTreeNodes.Item(4)));
      for (NodeNumber parent : {3, 2, 1})
        EXPECT_TRUE(SendMessageA(tree, TVM_GETITEMSTATE, KeptTreeNodes.Item(parent), TVIS_EXPANDED) & TVIS_EXPANDED) << parent;
      FindInTree({"nowhere", true, false, false});
      EXPECT_EQ(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0), found) << "a find without a match keeps the selection";
      SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, KeptTreeNodes.Item(1));
      ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard());  // nothing left from before
      CopySelectedSubtree();
      EXPECT_EQ(ClipboardText(), "1234 / handle_holder.exe\r\n  Thread\r\n    Handle: 32772\r\n      TID: 7\r\n    Handle: 32776\r\n");
      HandleTree = 0;
    }
    EXPECT_EQ(Traffic.Text(), "1234 / handle_holder.exe 0/0\n  Thread 4/4\n    Handle: 32772 11/11\n      TID: 7 4/4\n"
                              "    Handle: 32776 11/11\n");
    if (forgeInside) EXPECT_EQ(Traffic.batchAnswers, (std::vector<LRESULT>{0, 0, 0, 1, 0, 0, 0, 1})) << "three forged inside each batch";
    else if (receiver) EXPECT_EQ(Traffic.batchAnswers, (std::vector<LRESULT>{0, 0, 1, 1})) << "two foreign messages, two batches";
    EXPECT_EQ(Traffic.insertsFromOtherThreads, receiver ? 0 : 5);
    EXPECT_EQ(AccessViolations, 0);
    EXPECT_TRUE(Forged.insertionLeft) << "written through a foreign pointer";
    DestroyWindow(tree);
  }
  RemoveVectoredExceptionHandler(handler);
}
