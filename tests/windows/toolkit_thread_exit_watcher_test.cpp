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

struct CleanupLog {
  HANDLE thread = nullptr;  // SYNCHRONIZE copy of the registering thread
  SystemHandle registered{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  SystemHandle done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  SystemHandle block;  // when set, the thread waits on it for ever after registering
  std::vector<int> order;
  bool ranAfterEnd = true;
  struct Step {
    CleanupLog* log;
    int number;
  } steps[2] = {{this, 1}, {this, 2}};
};

void Record(void* data) {
  auto* step = static_cast<CleanupLog::Step*>(data);
  CleanupLog& log = *step->log;
  log.ranAfterEnd = log.ranAfterEnd && WaitForSingleObject(log.thread, 0) == WAIT_OBJECT_0;
  log.order.push_back(step->number);
  if (step->number == 1) SetEvent(log.done.Get());  // registered first, runs last
}

DWORD WINAPI RegisterTwo(void* parameter) {
  auto* log = static_cast<CleanupLog*>(parameter);
  bool ok = RegisterThreadCleanup(Record, &log->steps[0]) && RegisterThreadCleanup(Record, &log->steps[1]);
  SetEvent(log->registered.Get());
  if (log->block) WaitForSingleObject(log->block.Get(), INFINITE);
  return ok ? 0 : 1;
}

std::atomic<int> CleanedThreads{0};

DWORD WINAPI RegisterAndWait(void* release) {
  if (!RegisterThreadCleanup([](void*) { ++CleanedThreads; }, nullptr)) return 1;
  if (release) WaitForSingleObject(static_cast<HANDLE>(release), INFINITE);
  return 0;
}

}  // namespace

TEST(ToolkitThreadExitWatcher, CleanupRunsAfterAThreadReturnsOrIsKilledMostRecentFirst) {
  for (bool kill : {false, true}) {
    SCOPED_TRACE(kill ? "killed thread" : "returned thread");
    CleanupLog log;
    if (kill) log.block = SystemHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    SystemHandle thread(CreateThread(nullptr, 0, RegisterTwo, &log, CREATE_SUSPENDED, nullptr));
    ASSERT_TRUE(thread);
    DuplicateHandle(GetCurrentProcess(), thread.Get(), GetCurrentProcess(), &log.thread, SYNCHRONIZE, FALSE, 0);
    SystemHandle copy(log.thread);
    ResumeThread(thread.Get());
    ASSERT_EQ(WaitForSingleObject(log.registered.Get(), 5000), WAIT_OBJECT_0);
    if (kill) {
      Sleep(20);
      EXPECT_EQ(log.order, std::vector<int>{}) << "clean-up ran while the thread was alive";
      TerminateThread(thread.Get(), 0);
    }
    ASSERT_EQ(WaitForSingleObject(log.done.Get(), 5000), WAIT_OBJECT_0) << "no clean-up within 5 s";
    EXPECT_EQ(log.order, (std::vector<int>{2, 1})) << "most recent first";
    EXPECT_TRUE(log.ranAfterEnd) << "clean-up ran before its thread had ended";
  }
}

TEST(ToolkitThreadExitWatcher, MoreThreadsThanOneWatcherHolds) {
  SystemHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  CleanedThreads = 0;
  std::vector<SystemHandle> threads;
  for (int i = 0; i < 100; ++i) threads.emplace_back(CreateThread(nullptr, 0, RegisterAndWait, release.Get(), 0, nullptr));
  Sleep(200);
  EXPECT_EQ(CleanedThreads.load(), 0) << "clean-ups of threads still alive";
  SetEvent(release.Get());
  for (int waited = 0; CleanedThreads.load() < 100 && waited < 5000; waited += 10) Sleep(10);
  EXPECT_EQ(CleanedThreads.load(), 100) << "of 100 ended threads";
  for (SystemHandle& thread : threads) {
    DWORD code = 1;
    GetExitCodeThread(thread.Get(), &code);
    EXPECT_EQ(code, 0u) << "registration refused";
  }
  // The watchers went away with their threads; a new thread still gets a watcher.
  SystemHandle late(CreateThread(nullptr, 0, RegisterAndWait, nullptr, 0, nullptr));
  for (int waited = 0; CleanedThreads.load() < 101 && waited < 5000; waited += 10) Sleep(10);
  EXPECT_EQ(CleanedThreads.load(), 101) << "the thread after the watchers had gone";
}
