// The window, menu and event layer on real windows (under Wine): inner sizes, the event codes
// WaitEvent returns for close, menu, accelerator, maximize/minimize/restore and resize
// messages, menu states and labels, closing windows, and the save dialog answered from a
// helper thread the way a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/dialogs_win.h"
#include "toolkit/menu_win.h"
#include "toolkit/text.h"
#include "toolkit/window_layer_win.h"

using namespace lurvik;

namespace {

constexpr UINT kSentinel = WM_APP + 7;

// Every event code up to (not including) the sentinel message posted after the action.
std::vector<int32_t> EventsUntilSentinel(HWND window) {
  PostMessageA(window, kSentinel, 0, 0);
  std::vector<int32_t> codes;
  for (int guard = 0; guard < 500; ++guard) {
    int32_t code = WaitEvent();
    if (code == static_cast<int32_t>(kSentinel)) break;
    codes.push_back(code);
  }
  return codes;
}

bool Contains(const std::vector<int32_t>& codes, int32_t code) {
  for (int32_t c : codes)
    if (c == code) return true;
  return false;
}

// Codes of the layer's own events, in order, without plain system message numbers.
std::vector<int32_t> LayerEvents(const std::vector<int32_t>& codes) {
  std::vector<int32_t> events;
  for (int32_t c : codes)
    if (c == EVENT_SIZE || c == EVENT_MINIMIZE || c == EVENT_MAXIMIZE || c == EVENT_RESTORE) events.push_back(c);
  return events;
}

class WindowLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    number_ = CreateAppWindow(10, 10, 640, 440, "Layer test", 0x00CF0000);
    if (number_ == 0) GTEST_SKIP() << "no window could be created (no display?)";
    window_ = WindowHandle(number_);
    EventsUntilSentinel(window_);  // the events of the first show
  }
  void TearDown() override {
    if (number_) CloseAppWindow(number_);
  }
  intptr_t number_ = 0;
  HWND window_ = nullptr;
};

}  // namespace

TEST_F(WindowLayer, OpensWithItsInnerSize) {
  RECT client = {};
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 440);
  EXPECT_EQ(WindowInnerWidth(number_), 640);
  EXPECT_EQ(WindowInnerHeight(number_), 440);
}

TEST(WindowLayerNumbers, UnknownNumbersNameNothing) {
  EXPECT_EQ(WindowHandle(0), nullptr);
  EXPECT_EQ(WindowHandle(12345), nullptr);
  EXPECT_EQ(WindowInnerWidth(12345), 0);
  EXPECT_EQ(WindowInnerHeight(0), 0);
  CloseAppWindow(12345);  // nothing happens
  SetMenuItemGrayed(999, 101, 1);
  SetMenuItemChecked(999, 101, 1);
  SetMenuTitleLabel(999, 0, "x");
  SetMenuItemLabel(999, 101, "x");
  EXPECT_EQ(MenuBarHandle(999), nullptr);
}

TEST_F(WindowLayer, CloseRequestFirstGivesTheMessageThenTheQueuedEventAndKeepsTheWindow) {
  PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitEvent(), static_cast<int32_t>(WM_CLOSE));  // the system message being processed
  EXPECT_EQ(WaitEvent(), EVENT_CLOSE);                     // the queued event
  EXPECT_EQ(EventItem(), static_cast<int32_t>(number_));
  EXPECT_TRUE(IsWindow(window_));
}

TEST_F(WindowLayer, MenuCommandIsImmediateAcceleratorCommandsRaiseNothing) {
  PostMessageA(window_, WM_COMMAND, 101, 0);
  EXPECT_EQ(WaitEvent(), EVENT_MENU);
  EXPECT_EQ(EventItem(), 101);
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(kNextControlCommand, 1), 0);
  EXPECT_EQ(WaitEvent(), static_cast<int32_t>(WM_COMMAND));
  PostMessageA(window_, WM_TIMER, 9, 0);
  EXPECT_EQ(WaitEvent(), EVENT_TIMER);
  EXPECT_EQ(EventItem(), 9);
}

TEST_F(WindowLayer, MaximizeMinimizeRestoreGiveTheirEventsInOrder) {
  ShowWindow(window_, SW_MAXIMIZE);
  EXPECT_EQ(LayerEvents(EventsUntilSentinel(window_)), (std::vector<int32_t>{EVENT_MAXIMIZE, EVENT_SIZE}));
  ShowWindow(window_, SW_RESTORE);
  EXPECT_EQ(LayerEvents(EventsUntilSentinel(window_)), (std::vector<int32_t>{EVENT_RESTORE, EVENT_SIZE}));
  ShowWindow(window_, SW_MINIMIZE);
  EXPECT_EQ(LayerEvents(EventsUntilSentinel(window_)), (std::vector<int32_t>{EVENT_MINIMIZE}));
  ShowWindow(window_, SW_RESTORE);
  EXPECT_EQ(LayerEvents(EventsUntilSentinel(window_)), (std::vector<int32_t>{EVENT_RESTORE, EVENT_SIZE}));
}

TEST_F(WindowLayer, IdenticalResizesQueuedBackToBackCollapse) {
  SendMessageA(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 100));
  SendMessageA(window_, WM_SIZE, SIZE_RESTORED, MAKELPARAM(120, 90));
  EXPECT_EQ(WaitEvent(), EVENT_SIZE);  // queued events come before any new message
  std::vector<int32_t> rest = EventsUntilSentinel(window_);
  EXPECT_FALSE(Contains(rest, EVENT_SIZE));
}

TEST_F(WindowLayer, EventQueuedBySentMessageWakesTheWaitingThread) {
  // A message sent from elsewhere is handled inside GetMessageA; its event must come out at
  // once, not with the next unrelated message (the sentinel comes only as a fallback).
  HWND window = window_;
  std::thread sender([window] {
    Sleep(200);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(321, 123));
    Sleep(3000);
    PostMessageA(window, kSentinel, 0, 0);
  });
  DWORD start = GetTickCount();
  int32_t code = 0;
  while (code != EVENT_SIZE && code != static_cast<int32_t>(kSentinel)) code = WaitEvent();
  DWORD waited = GetTickCount() - start;
  EXPECT_EQ(code, EVENT_SIZE);
  EXPECT_LT(waited, 2000u);
  sender.join();
  if (code != static_cast<int32_t>(kSentinel))
    while (WaitEvent() != static_cast<int32_t>(kSentinel)) {
    }
}

TEST_F(WindowLayer, MenuBarKeepsInnerHeightAndItemsChangeStateAndLabel) {
  intptr_t menu = CreateMenuBar(window_);
  ASSERT_NE(menu, 0);
  EXPECT_EQ(GetMenu(window_), nullptr);  // attached by the first title
  AddMenuTitle("&Program");
  AddMenuItem(101, "get &handles again");
  AddMenuSeparator();
  AddMenuItem(201, "&deutsch");
  AddMenuItem(111, "&close");
  HMENU bar = MenuBarHandle(menu);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(GetMenu(window_), bar);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(bar, 0)), 4);

  RECT client = {};
  GetClientRect(window_, &client);
  EXPECT_EQ(WindowInnerHeight(number_), client.bottom + GetSystemMetrics(SM_CYMENU));
  EXPECT_EQ(WindowInnerWidth(number_), client.right);

  for (int32_t on : {1, 0}) {
    SetMenuItemGrayed(menu, 101, on);
    SetMenuItemChecked(menu, 201, on);
    EXPECT_EQ((GetMenuState(bar, 101, MF_BYCOMMAND) & MF_GRAYED) != 0, on == 1);
    EXPECT_EQ((GetMenuState(bar, 201, MF_BYCOMMAND) & MF_CHECKED) != 0, on == 1);
  }

  SetMenuTitleLabel(menu, 0, "&Programm");
  SetMenuItemLabel(menu, 101, "&Handles neu auslesen");
  char label[64] = {};
  GetMenuStringA(bar, 0, label, sizeof label, MF_BYPOSITION);
  EXPECT_STREQ(label, "&Programm");
  GetMenuStringA(bar, 101, label, sizeof label, MF_BYCOMMAND);
  EXPECT_STREQ(label, "&Handles neu auslesen");
  EXPECT_NE(GetSubMenu(bar, 0), nullptr);  // relabelling keeps the drop-down

  CloseAppWindow(number_);
  number_ = 0;
  EXPECT_EQ(MenuBarHandle(menu), nullptr);  // released with its window
}

TEST_F(WindowLayer, ClosingForgetsWindowClassAndQueuedEvents) {
  intptr_t other = CreateAppWindow(30, 30, 200, 100, "Other", 0x00CF0000 | kWindowStartHidden);
  ASSERT_NE(other, 0);
  HWND otherWindow = WindowHandle(other);
  EXPECT_FALSE(IsWindowVisible(otherWindow));
  SendMessageA(otherWindow, WM_CLOSE, 0, 0);  // queues EVENT_CLOSE for the other window
  std::string className = "WindowClass_" + DecimalText(other);
  CloseAppWindow(other);
  EXPECT_FALSE(IsWindow(otherWindow));
  WNDCLASSA info = {};
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), className.c_str(), &info));
  EXPECT_EQ(WindowHandle(other), nullptr);
  EXPECT_FALSE(Contains(EventsUntilSentinel(window_), EVENT_CLOSE));
}

TEST_F(WindowLayer, CloseAllWindowsLeavesWindowsOfOtherThreadsAlone) {
  std::thread([] { CloseAllWindows(); }).join();
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(WindowHandle(number_), window_);
  CloseAllWindows();
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_EQ(WindowHandle(number_), nullptr);
  number_ = 0;
}

namespace {

// Answers the save dialog like a user: reads its file name box and filter, types a name and
// presses OK (or Cancel when answer is empty).
struct DialogAnswer {
  std::string answer;
  std::string shownFileName;
  std::string shownFilter;
  std::atomic<bool> found{false};
};

void AnswerSaveDialog(DialogAnswer* answer) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    HWND dialog = FindWindowA("#32770", "Save test");
    if (dialog) {
      Sleep(300);
      HWND combo = GetDlgItem(dialog, 0x47C);
      HWND box = combo ? FindWindowExA(combo, nullptr, "Edit", nullptr) : GetDlgItem(dialog, 0x480);
      if (!box) box = combo;
      char text[512] = {};
      SendMessageA(box, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
      answer->shownFileName = text;
      HWND filter = GetDlgItem(dialog, 0x470);
      if (filter) {
        SendMessageA(filter, CB_GETLBTEXT, SendMessageA(filter, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
        answer->shownFilter = text;
      }
      answer->found = true;
      if (answer->answer.empty()) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      } else {
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer->answer.c_str()));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      }
      return;
    }
    Sleep(50);
  }
}

}  // namespace

TEST_F(WindowLayer, SaveDialogShowsDefaultAndFilterAndReturnsTheChosenPath) {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  DialogAnswer answer;
  answer.answer = std::string(folder) + "layer_test_log.txt";
  std::thread helper(AnswerSaveDialog, &answer);
  std::string path = AskSaveFileName("Save test", "Lurvik_LOG.txt", "*.txt | *.log", 0);
  helper.join();
  ASSERT_TRUE(answer.found);
  EXPECT_EQ(answer.shownFileName, "Lurvik_LOG.txt");
  EXPECT_EQ(answer.shownFilter, "*.txt ");
  EXPECT_TRUE(TextEquals(UpperCaseText(path), UpperCaseText(answer.answer))) << path;
  EXPECT_TRUE(IsWindowEnabled(window_));  // enabled again after the dialog
}

TEST_F(WindowLayer, CancelledSaveDialogGivesEmptyTextAndUnusableDefaultLeavesBoxEmpty) {
  DialogAnswer answer;  // empty answer: Cancel
  std::thread helper(AnswerSaveDialog, &answer);
  std::string path = AskSaveFileName("Save test", "bad?name.txt", "*.txt | *.log", 0);
  helper.join();
  ASSERT_TRUE(answer.found);
  EXPECT_EQ(answer.shownFileName, "");
  EXPECT_EQ(path, "");
}
