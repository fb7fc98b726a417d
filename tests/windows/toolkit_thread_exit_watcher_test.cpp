// The thread-exit watcher under Wine: clean-up routines run after their thread has ended,
// most recent first, for threads that returned or were killed, and beyond the 62 threads
// one watcher can wait on.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "toolkit/system_handle_win.h"
#include "toolkit/thread_exit_watcher_win.h"

using namespace lurvik;

namespace {

HANDLE Watched, Registered;  // the thread whose clean-ups are recorded; set once it registered them
std::vector<int> Order;      // numbers of the clean-ups that ran, in the order they ran
bool RanAfterEnd;
std::atomic<int> Cleaned{0};

void Record(void* number) {
  RanAfterEnd = RanAfterEnd && WaitForSingleObject(Watched, 0) == WAIT_OBJECT_0;
  Order.push_back(static_cast<int>(reinterpret_cast<intptr_t>(number)));
  ++Cleaned;
}

DWORD WINAPI RegisterTwoAndWait(void* release) {
  RegisterThreadCleanup(Record, reinterpret_cast<void*>(1));
  RegisterThreadCleanup(Record, reinterpret_cast<void*>(2));
  SetEvent(Registered);
  WaitForSingleObject(release, INFINITE);
  return 0;
}

DWORD WINAPI CountedThread(void* release) {
  if (!RegisterThreadCleanup([](void*) { ++Cleaned; }, nullptr)) return 1;
  if (release) WaitForSingleObject(release, INFINITE);
  return 0;
}

// Waits up to 5 s for that many clean-ups in all; returns how many ran.
int CleanedWithin5s(int count) {
  for (int waited = 0; Cleaned < count && waited < 5000; waited += 10) Sleep(10);
  return Cleaned;
}

}  // namespace

TEST(ToolkitThreadExitWatcher, CleanupRunsAfterAThreadReturnsOrIsKilledMostRecentFirst) {
  for (bool kill : {false, true}) {
    SCOPED_TRACE(kill ? "killed thread" : "returned thread");
    SystemHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr)), registered(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Registered = registered.Get();
    Order.clear();
    RanAfterEnd = true;
    Cleaned = 0;
    SystemHandle thread(CreateThread(nullptr, 0, RegisterTwoAndWait, release.Get(), 0, nullptr));
    Watched = thread.Get();
    ASSERT_EQ(WaitForSingleObject(Registered, 5000), WAIT_OBJECT_0);
    Sleep(20);
    EXPECT_EQ(Cleaned.load(), 0) << "clean-ups ran while the thread was alive";
    if (kill) TerminateThread(thread.Get(), 0);
    else SetEvent(release.Get());
    EXPECT_EQ(CleanedWithin5s(2), 2);
    EXPECT_EQ(Order, (std::vector<int>{2, 1})) << "most recent first";
    EXPECT_TRUE(RanAfterEnd) << "clean-up ran before its thread had ended";
  }
}

TEST(ToolkitThreadExitWatcher, MoreThreadsThanOneWatcherHolds) {
  SystemHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  Cleaned = 0;
  std::vector<SystemHandle> threads;
  for (int i = 0; i < 100; ++i) threads.emplace_back(CreateThread(nullptr, 0, CountedThread, release.Get(), 0, nullptr));
  Sleep(200);
  EXPECT_EQ(Cleaned.load(), 0) << "clean-ups of threads still alive";
  SetEvent(release.Get());
  EXPECT_EQ(CleanedWithin5s(100), 100) << "clean-ups of 100 ended threads";
  // The watchers went away with their threads; a new thread still gets a watcher.
  SystemHandle late(CreateThread(nullptr, 0, CountedThread, nullptr, 0, nullptr));
  EXPECT_EQ(CleanedWithin5s(101), 101) << "with the thread after the watchers had gone";
}
