// The window and event layer on real windows (under Wine), for what the end-to-end runs of the
// program cannot show: the order of the maximize, minimize and restore events, an event of a
// message sent from another thread coming out at once, and closing all windows of one thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "toolkit/window_layer_win.h"

using namespace lurvik;

namespace {

constexpr int32_t kSentinel = WM_APP + 7;  // posted after an action, so it comes out after its events

// The layer's size events up to the sentinel message posted after the action.
std::vector<int32_t> SizeEventsUntilSentinel(HWND window) {
  PostMessageA(window, kSentinel, 0, 0);
  std::vector<int32_t> events;
  for (int guard = 0; guard < 500; ++guard) {
    const int32_t code = WaitEvent();
    if (code == kSentinel) break;
    if (code == EVENT_SIZE || code == EVENT_MINIMIZE || code == EVENT_MAXIMIZE || code == EVENT_RESTORE)
      events.push_back(code);
  }
  return events;
}

class WindowLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    number_ = CreateAppWindow(10, 10, 640, 440, "Layer test", 0x00CF0000);
    if (number_ == 0) GTEST_SKIP() << "no window could be created (no display?)";
    window_ = WindowHandle(number_);
    SizeEventsUntilSentinel(window_);  // the events of the first show
  }
  void TearDown() override {
    if (number_) CloseAppWindow(number_);
  }
  intptr_t number_ = 0;
  HWND window_ = nullptr;
};

}  // namespace

TEST_F(WindowLayer, MaximizeMinimizeRestoreGiveTheirEventsInOrder) {
  const struct {
    int show;
    const char* name;
    std::vector<int32_t> expected;
  } steps[] = {
      {SW_MAXIMIZE, "maximize", {EVENT_MAXIMIZE, EVENT_SIZE}},
      {SW_RESTORE, "restore after maximize", {EVENT_RESTORE, EVENT_SIZE}},
      {SW_MINIMIZE, "minimize", {EVENT_MINIMIZE}},
      {SW_RESTORE, "restore after minimize", {EVENT_RESTORE, EVENT_SIZE}},
  };
  for (const auto& step : steps) {
    ShowWindow(window_, step.show);
    EXPECT_EQ(SizeEventsUntilSentinel(window_), step.expected)
        << step.name << " (size " << EVENT_SIZE << ", maximize " << EVENT_MAXIMIZE << ")";
  }
}

// A message sent from another thread is handled inside GetMessageA; its event must come out at
// once, not with the next unrelated message (the sentinel, 3 s later).
TEST_F(WindowLayer, EventQueuedBySentMessageWakesTheWaitingThread) {
  std::thread sender([window = window_] {
    Sleep(200);
    SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(321, 123));
    Sleep(3000);
    PostMessageA(window, kSentinel, 0, 0);
  });
  const DWORD start = GetTickCount();
  DWORD sizeAfter = 0;  // ms until the size event; 0 when none came before the sentinel
  for (int32_t code = 0; code != kSentinel; code = WaitEvent())
    if (code == EVENT_SIZE && sizeAfter == 0) sizeAfter = GetTickCount() - start;
  sender.join();
  EXPECT_TRUE(sizeAfter > 0 && sizeAfter < 2000) << "ms until the size event (0: none before the sentinel): " << sizeAfter;
}

TEST_F(WindowLayer, CloseAllWindowsLeavesWindowsOfOtherThreadsAlone) {
  std::thread([] { CloseAllWindows(); }).join();
  EXPECT_TRUE(IsWindow(window_)) << "closed by another thread's CloseAllWindows";
  EXPECT_EQ(WindowHandle(number_), window_);
  CloseAllWindows();
  EXPECT_FALSE(IsWindow(window_)) << "left open by its own thread's CloseAllWindows";
  EXPECT_EQ(WindowHandle(number_), nullptr);
  number_ = 0;
}
