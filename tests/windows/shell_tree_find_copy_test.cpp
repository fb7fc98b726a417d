// Find and copy on a real tree view, for the program alone: a clipboard held by another thread,
// and the keys, WM_COPY and the find dialog acting only for the program's own thread. (Find and
// copy over the model the scan fills are checked with the tree receiver.)
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "inventory/tree_receiver_win.h"
#include "shell/app_state.h"
#include "shell/tree_copy_win.h"
#include "shell/tree_find_win.h"
#include "shell/tree_keys_win.h"
#include "toolkit/window_layer_win.h"

using namespace lurvik;

namespace {

std::string ClipboardText() {
  if (!OpenClipboard(nullptr)) return "(no clipboard)";
  HANDLE data = GetClipboardData(CF_TEXT);
  const char* bytes = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
  const std::string text = bytes ? bytes : "";
  if (bytes) GlobalUnlock(data);
  CloseClipboard();
  return text;
}

LPARAM Caret(HWND tree) { return SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0); }

void EmptyTheClipboard() { ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard()); }

void Pump() {
  for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&message);
}

// Runs `work` on another thread while this one serves the messages it sends.
template <typename Work>
void OnAnotherThread(Work work) {
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread other([&] { work(), SetEvent(done); });
  while (MsgWaitForMultipleObjects(1, &done, FALSE, 5000, QS_ALLINPUT) != WAIT_OBJECT_0) Pump();
  other.join();
  CloseHandle(done);
  Pump();
}

// The find dialog's message as the dialog sends it, caught on its way to the main window.
UINT FindMessage = RegisterWindowMessageA(FINDMSGSTRINGA);
LPARAM FindRecord = 0;
LRESULT CALLBACK CatchFindRecord(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (call->message == FindMessage) FindRecord = call->lParam;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST(TreeFindAndCopy, ActsOnlyForTheProgramsOwnThreadAndBeepsWhenTheClipboardStaysHeld) {
  MainWindow = CreateAppWindow(10, 10, 400, 300, "Find test", 0x00CF0000);
  if (MainWindow == 0) GTEST_SKIP() << "no window could be created (no display?)";
  HWND tree = CreateWindowExA(0, "SysTreeView32", "", 0x50400017, 0, 0, 380, 280, WindowHandle(MainWindow), nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  HandleTree = reinterpret_cast<uintptr_t>(tree);
  ASSERT_TRUE(InstallTreeReceiver(tree));
  // A process with an Event handle and an empty File type, then a second process, inserted
  // on this thread at once (the batch finishes them).
  const std::vector<std::pair<std::string, NodeNumber>> nodes = {
      {"10 / a.exe", 0}, {"Event", 1}, {"File", 1}, {"Handle: 8", 2}, {"Name of Object: \\E", 4},
      {"Opened with Access Rights: 0x1 (0x1F0003)", 4}, {"20 / b.exe", 0}};
  TreeNodeBatch batch;
  batch.finishes = true;
  for (const auto& [text, parent] : nodes) {
    batch.nodes.push_back({static_cast<uint32_t>(batch.texts.size()), static_cast<uint32_t>(text.size()), parent, 11});
    batch.texts += text + '\0';
  }
  TreeNodeDelivery delivery{&batch};
  ASSERT_TRUE(SendTreeNodeDelivery(tree, delivery) && !delivery.insertionLeft);
  std::vector<uintptr_t> items(nodes.size() + 1);
  for (NodeNumber node = 1; node < items.size(); ++node) items[node] = KeptTreeNodes.Item(node);

  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, items[1]);
  const std::string processLines = "10 / a.exe\r\n  Event\r\n    Handle: 8\r\n      Name of Object: \\E\r\n"
                                   "      Opened with Access Rights: 0x1 (0x1F0003)\r\n";
  // The clipboard held by another thread past the pause: the copy gives up (and beeps);
  // released within the pause, or at once: the copy is made.
  for (DWORD held : {400, 10, 0}) {
    EmptyTheClipboard();
    HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] { OpenClipboard(nullptr), SetEvent(opened), Sleep(held), CloseClipboard(); });
    WaitForSingleObject(opened, 5000);
    CopySelectedSubtree();
    holder.join();
    CloseHandle(opened);
    EXPECT_EQ(ClipboardText(), held > 100 ? "" : processLines) << "clipboard held for " << held << " ms";
  }

  // The keys and the messages: from another thread (sent, or posted) nothing happens; from
  // this thread's keys the copy is made and the dialog's Find Next searches.
  InstallTreeKeys(WindowHandle(MainWindow), tree);
  BYTE keys[256] = {};
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);  // Ctrl held, as GetKeyState sees it on this thread
  EmptyTheClipboard();
  OnAnotherThread([&] { SendMessageA(tree, WM_COPY, 0, 0), SendMessageA(tree, WM_KEYDOWN, 'C', 0); });
  PostMessageA(tree, WM_COPY, 0, 0);
  Pump();
  EXPECT_EQ(ClipboardText(), "") << "WM_COPY sent or posted, Ctrl+C sent by another thread";
  SendMessageA(tree, WM_KEYDOWN, VK_INSERT, 0);
  EXPECT_EQ(ClipboardText(), processLines) << "Ctrl+Insert on this thread";
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CatchFindRecord, nullptr, GetCurrentThreadId());
  SendMessageA(tree, WM_KEYDOWN, VK_F3, 0);  // no search yet: F3 opens the dialog
  HWND dialog = FindWindowExA(nullptr, nullptr, "#32770", nullptr);  // the desktop's only one
  ASSERT_TRUE(dialog != nullptr && GetWindow(dialog, GW_OWNER) == WindowHandle(MainWindow));
  SetDlgItemTextA(dialog, 1152, "\\E");
  OnAnotherThread([&] { SendMessageA(dialog, WM_COMMAND, IDOK, 0); });
  EXPECT_EQ(Caret(tree), static_cast<LPARAM>(items[1])) << "Find Next pressed by another thread";
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(Caret(tree), static_cast<LPARAM>(items[5])) << "Find Next pressed on this thread";
  EXPECT_NE(FindRecord, 0) << "the dialog's record caught";
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, items[1]);
  OnAnotherThread([&] { SendMessageA(tree, WM_KEYDOWN, VK_F3, 0), SendMessageA(WindowHandle(MainWindow), FindMessage, 0, FindRecord); });
  PostMessageA(WindowHandle(MainWindow), FindMessage, 0, FindRecord);
  Pump();
  EXPECT_EQ(Caret(tree), static_cast<LPARAM>(items[1])) << "F3 and the dialog's message sent by another thread, the message posted again";
  UnhookWindowsHookEx(hook);
  SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);

  KeptTreeNodes.Clear();
  HandleTree = 0;
  CloseAppWindow(MainWindow);
  MainWindow = 0;
}
