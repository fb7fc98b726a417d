// Worker threads under Wine: numbering from 1 in a fresh process, killing a worker blocked
// forever after 50 pauses of about 1 ms, release without stopping, ended workers purged by the
// next start and kills of ended workers.
#include <windows.h>

#include <gtest/gtest.h>
#include <process.h>

#include <chrono>
#include <cstring>
#include <string>

#include "toolkit/system_handle_win.h"
#include "toolkit/system_info.h"
#include "toolkit/workers_win.h"

using namespace lurvik;

namespace {

// Returns its parameter as exit code, after waiting on Block when that is set.
HANDLE Block = nullptr;
DWORD WINAPI WaitAndReturn(void* parameter) {
  if (Block) WaitForSingleObject(Block, INFINITE);
  return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}
void* Code(uintptr_t code) { return reinterpret_cast<void*>(code); }

// A handle that can wait for the worker and read its exit code, taken while it is listed
// (the toolkit's SYNCHRONIZE copy, duplicated once more with the query right).
SystemHandle OpenWorkerThread(int32_t worker) {
  SystemHandle copy(DuplicateWorkerThreadHandle(worker));
  HANDLE full = nullptr;
  if (copy) DuplicateHandle(GetCurrentProcess(), copy.Get(), GetCurrentProcess(), &full,
                            THREAD_QUERY_INFORMATION | SYNCHRONIZE, FALSE, 0);
  return SystemHandle(full);
}

// The exit code once the thread has ended, -2 when it runs on for 5 s.
int64_t ExitCodeAfterEnd(const SystemHandle& thread) {
  DWORD code = 0;
  if (WaitForSingleObject(thread.Get(), 5000) != WAIT_OBJECT_0) return -2;
  return GetExitCodeThread(thread.Get(), &code) ? static_cast<int64_t>(code) : -1;
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// Worker numbers are process-wide, so the check runs again in a child process of this
// executable that runs nothing but this test.
TEST(ToolkitWorkers, FirstWorkerOfAProcessIsOneAndTheNextTwo) {
  if (std::strstr(GetCommandLineA(), " fresh-process")) {
    const int32_t first = StartWorker(WaitAndReturn, nullptr);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(ExitCodeAfterEnd(OpenWorkerThread(first)), 0);
    EXPECT_EQ(StartWorker(WaitAndReturn, nullptr), 2) << "whatever happened to the first";
    return;
  }
  const std::string program = ProgramPath(), quoted = "\"" + program + "\"";
  EXPECT_EQ(_spawnl(_P_WAIT, program.c_str(), quoted.c_str(), "--gtest_filter=ToolkitWorkers.FirstWorker*",
                    "fresh-process", nullptr), 0)
      << "exit code of the check in a fresh child process";
}

TEST(ToolkitWorkers, BlockedWorkerIsKilledAfterFiftyPausesAndReleaseLeavesTheOthersRunning) {
  SystemHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  Block = never.Get();
  const int32_t blocked = StartWorker(WaitAndReturn, Code(7)), released = StartWorker(WaitAndReturn, Code(3));
  SystemHandle blockedThread = OpenWorkerThread(blocked), releasedThread = OpenWorkerThread(released);
  ASSERT_TRUE(blockedThread && releasedThread);
  const auto start = std::chrono::steady_clock::now();
  int polls = 0;
  for (; polls < 50 && IsWorkerRunning(blocked); ++polls) PauseMilliseconds(1);
  const double meanPause = MillisecondsSince(start) / 50;
  EXPECT_EQ(polls, 50);
  EXPECT_TRUE(meanPause >= 0.9 && meanPause <= 4.0) << "PauseMilliseconds(1) took " << meanPause << " ms on average";
  const auto beforeZero = std::chrono::steady_clock::now();
  PauseMilliseconds(0);
  EXPECT_LT(MillisecondsSince(beforeZero), 20.0) << "a pause of 0 only gives up the time slice";

  KillWorker(blocked);
  EXPECT_EQ(IsWorkerRunning(blocked), 0);
  EXPECT_EQ(DuplicateWorkerThreadHandle(blocked), nullptr) << "a killed worker is removed at once";
  EXPECT_EQ(ExitCodeAfterEnd(blockedThread), 0) << "terminated with exit code 0, not returned with 7";

  ReleaseWorkers();
  EXPECT_EQ(IsWorkerRunning(released), 0) << "forgotten by the release";
  EXPECT_EQ(WaitForSingleObject(releasedThread.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "stopped by the release";
  Block = nullptr;
  SetEvent(never.Get());
  EXPECT_EQ(ExitCodeAfterEnd(releasedThread), 3);
}

TEST(ToolkitWorkers, EndedWorkersArePurgedByTheNextStartAndNotTerminatedByAKill) {
  const int32_t done = StartWorker(WaitAndReturn, Code(42));
  EXPECT_EQ(ExitCodeAfterEnd(OpenWorkerThread(done)), 42);
  EXPECT_EQ(IsWorkerRunning(done), 0);
  EXPECT_TRUE(SystemHandle(DuplicateWorkerThreadHandle(done))) << "an ended worker stays listed until the next start";
  const int32_t next = StartWorker(WaitAndReturn, Code(5));
  EXPECT_EQ(next, done + 1);
  EXPECT_EQ(DuplicateWorkerThreadHandle(done), nullptr) << "purged by the start";

  SystemHandle nextThread = OpenWorkerThread(next);
  ASSERT_EQ(ExitCodeAfterEnd(nextThread), 5);
  KillWorker(next);
  EXPECT_EQ(ExitCodeAfterEnd(nextThread), 5) << "a worker that ended by itself keeps its exit code";
  EXPECT_EQ(DuplicateWorkerThreadHandle(next), nullptr) << "the kill removes it";
  KillWorker(next);  // numbers naming nothing: nothing happens
  KillWorker(0);
  EXPECT_EQ(IsWorkerRunning(0), 0);
}
