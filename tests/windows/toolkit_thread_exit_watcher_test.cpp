// The thread-exit watcher under Wine: clean-up routines run after their thread has ended,
// most recent first, for threads that returned or were killed, and beyond 62 threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "toolkit/system_handle_win.h"
#include "toolkit/thread_exit_watcher_win.h"

using namespace lurvik;

namespace {

struct CleanupLog {
  HANDLE registeringThread = nullptr;  // SYNCHRONIZE copy, to check that it has ended
  std::vector<int> order;
  bool ranAfterEnd = true;
  bool ranElsewhere = true;
  DWORD registeringThreadId = 0;
  HANDLE done = nullptr;
};

struct Step {
  CleanupLog* log;
  int number;
};

void Record(void* data) {
  Step* step = static_cast<Step*>(data);
  CleanupLog* log = step->log;
  log->ranAfterEnd = log->ranAfterEnd && WaitForSingleObject(log->registeringThread, 0) == WAIT_OBJECT_0;
  log->ranElsewhere = log->ranElsewhere && GetCurrentThreadId() != log->registeringThreadId;
  log->order.push_back(step->number);
  if (step->number == 1) SetEvent(log->done);  // registered first, runs last
}

struct Registration {
  Step first, second;
  HANDLE block = nullptr;  // when set, the thread waits on it after registering
  HANDLE registered = nullptr;
};

DWORD WINAPI RegisterTwo(void* parameter) {
  Registration* r = static_cast<Registration*>(parameter);
  r->first.log->registeringThreadId = GetCurrentThreadId();
  bool ok = RegisterThreadCleanup(Record, &r->first) && RegisterThreadCleanup(Record, &r->second);
  if (r->registered) SetEvent(r->registered);
  if (r->block) WaitForSingleObject(r->block, INFINITE);
  return ok ? 0 : 1;
}

void RunThread(Registration& registration, CleanupLog& log, bool kill) {
  log.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  registration.registered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SystemHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (kill) registration.block = never.Get();
  SystemHandle thread(CreateThread(nullptr, 0, RegisterTwo, &registration, 0, nullptr));
  ASSERT_TRUE(thread);
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread.Get(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
  log.registeringThread = copy;
  ASSERT_EQ(WaitForSingleObject(registration.registered, 5000), WAIT_OBJECT_0);
  if (kill) {
    Sleep(20);
    EXPECT_TRUE(log.order.empty()) << "nothing runs while the thread is alive";
    TerminateThread(thread.Get(), 0);
  }
  ASSERT_EQ(WaitForSingleObject(log.done, 5000), WAIT_OBJECT_0) << "the clean-up ran";
  EXPECT_EQ(log.order, (std::vector<int>{2, 1})) << "most recent first";
  EXPECT_TRUE(log.ranAfterEnd);
  EXPECT_TRUE(log.ranElsewhere);
  CloseHandle(copy);
  CloseHandle(log.done);
  CloseHandle(registration.registered);
}

std::atomic<int> CleanedThreads{0};

DWORD WINAPI RegisterCounter(void*) {
  return RegisterThreadCleanup([](void*) { ++CleanedThreads; }, nullptr) ? 0 : 1;
}

}  // namespace

TEST(ToolkitThreadExitWatcher, CleanupRunsAfterAThreadReturnsOrIsKilled) {
  for (bool kill : {false, true}) {
    SCOPED_TRACE(kill ? "killed" : "returned");
    CleanupLog log;
    Registration registration{{&log, 1}, {&log, 2}};
    RunThread(registration, log, kill);
  }
}

TEST(ToolkitThreadExitWatcher, MoreThreadsThanOneWatcherHolds) {
  // 100 threads alive at once: more than the 62 of one watcher.
  SystemHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  struct Held {
    static DWORD WINAPI Run(void* event) {
      if (!RegisterThreadCleanup([](void*) { ++CleanedThreads; }, nullptr)) return 1;
      WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
      return 0;
    }
  };
  CleanedThreads = 0;
  std::vector<SystemHandle> threads;
  for (int i = 0; i < 100; ++i) threads.emplace_back(CreateThread(nullptr, 0, Held::Run, release.Get(), 0, nullptr));
  Sleep(200);
  EXPECT_EQ(CleanedThreads.load(), 0);
  SetEvent(release.Get());
  for (int waited = 0; CleanedThreads.load() < 100 && waited < 5000; waited += 10) Sleep(10);
  EXPECT_EQ(CleanedThreads.load(), 100);
  for (SystemHandle& thread : threads) {
    DWORD code = 1;
    GetExitCodeThread(thread.Get(), &code);
    EXPECT_EQ(code, 0u);
  }
  // The watchers went away with their threads; a new thread still gets a watcher.
  SystemHandle late(CreateThread(nullptr, 0, RegisterCounter, nullptr, 0, nullptr));
  for (int waited = 0; CleanedThreads.load() < 101 && waited < 5000; waited += 10) Sleep(10);
  EXPECT_EQ(CleanedThreads.load(), 101);
}
