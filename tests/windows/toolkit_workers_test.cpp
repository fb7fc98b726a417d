// Worker threads under Wine: numbering from 1 in a fresh process, killing a worker blocked
// forever after 50 polls, ended workers purged by the next start, kills of ended workers,
// release without stopping, and the 1 ms pause.
#include <windows.h>

#include <gtest/gtest.h>

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

// A handle that can wait for the worker and read its exit code, taken while it is listed
// (the toolkit's SYNCHRONIZE copy, duplicated once more with the query right).
SystemHandle OpenWorkerThread(int32_t worker) {
  SystemHandle copy(DuplicateWorkerThreadHandle(worker));
  HANDLE full = nullptr;
  if (copy) DuplicateHandle(GetCurrentProcess(), copy.Get(), GetCurrentProcess(), &full,
                            THREAD_QUERY_INFORMATION | SYNCHRONIZE, FALSE, 0);
  return SystemHandle(full);
}

int64_t ExitCodeAfterEnd(const SystemHandle& thread) {
  DWORD code = 0;
  if (WaitForSingleObject(thread.Get(), 5000) != WAIT_OBJECT_0) return -2;
  return GetExitCodeThread(thread.Get(), &code) ? static_cast<int64_t>(code) : -1;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void* Code(uintptr_t code) { return reinterpret_cast<void*>(code); }

}  // namespace

// Worker numbers are process-wide, so the first-number check runs in a child process of this
// executable that runs nothing but that check.
TEST(ToolkitWorkers, FirstWorkerOfAProcessIsOneAndTheNextTwo) {
  char fresh[8] = {};
  if (GetEnvironmentVariableA("LURVIK_FRESH_WORKER_PROCESS", fresh, sizeof fresh) > 0) {
    const int32_t first = StartWorker(WaitAndReturn, nullptr);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(ExitCodeAfterEnd(OpenWorkerThread(first)), 0);
    EXPECT_EQ(StartWorker(WaitAndReturn, nullptr), 2) << "whatever happened to the first";
    return;
  }
  std::string command = "\"" + ProgramPath() + "\" --gtest_filter=ToolkitWorkers.FirstWorkerOfAProcessIsOneAndTheNextTwo";
  SetEnvironmentVariableA("LURVIK_FRESH_WORKER_PROCESS", "1");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
  SetEnvironmentVariableA("LURVIK_FRESH_WORKER_PROCESS", nullptr);
  ASSERT_TRUE(started);
  SystemHandle process(child.hProcess), thread(child.hThread);
  ASSERT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.Get(), &exitCode);
  EXPECT_EQ(exitCode, 0u) << "the check in the fresh child process failed";
}

TEST(ToolkitWorkers, BlockedWorkerIsKilledAfterFiftyPausesAndTheCallerGoesOn) {
  SystemHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  Block = never.Get();
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  const int32_t worker = StartWorker(WaitAndReturn, Code(7));
  ASSERT_NE(worker, 0);
  SystemHandle thread = OpenWorkerThread(worker);
  int polls = 0;
  for (; polls < 50 && IsWorkerRunning(worker); ++polls) PauseMilliseconds(1);
  EXPECT_EQ(polls, 50);
  KillWorker(worker);
  QueryPerformanceCounter(&end);
  Block = nullptr;
  EXPECT_EQ(IsWorkerRunning(worker), 0);
  EXPECT_EQ(DuplicateWorkerThreadHandle(worker), nullptr) << "a killed worker is removed at once";
  EXPECT_EQ(ExitCodeAfterEnd(thread), 0) << "terminated with exit code 0, not returned with 7";
  const double elapsed = Milliseconds(start, end);
  EXPECT_LT(elapsed, 1000.0);
  std::printf("[          ] 50 polls and a kill took %.1f ms\n", elapsed);
}

TEST(ToolkitWorkers, EndedWorkersArePurgedByTheNextStartAndNotTerminatedByAKill) {
  const int32_t done = StartWorker(WaitAndReturn, Code(42));
  ASSERT_NE(done, 0);
  SystemHandle thread = OpenWorkerThread(done);
  EXPECT_EQ(ExitCodeAfterEnd(thread), 42);
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

TEST(ToolkitWorkers, ReleaseForgetsWorkersWithoutStoppingThem) {
  SystemHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  Block = never.Get();
  const int32_t worker = StartWorker(WaitAndReturn, Code(3));
  ASSERT_NE(worker, 0);
  SystemHandle thread = OpenWorkerThread(worker);
  ReleaseWorkers();
  EXPECT_EQ(IsWorkerRunning(worker), 0);
  EXPECT_EQ(WaitForSingleObject(thread.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
  Block = nullptr;
  SetEvent(never.Get());
  EXPECT_EQ(ExitCodeAfterEnd(thread), 3);
}

TEST(ToolkitWorkers, PauseOfOneMillisecondLastsAboutOneMillisecond) {
  LARGE_INTEGER start, middle, end;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < 50; ++i) PauseMilliseconds(1);
  QueryPerformanceCounter(&middle);
  PauseMilliseconds(0);
  QueryPerformanceCounter(&end);
  const double mean = Milliseconds(start, middle) / 50;
  std::printf("[          ] PauseMilliseconds(1): mean %.2f ms\n", mean);
  EXPECT_GE(mean, 0.9);
  EXPECT_LE(mean, 4.0);
  EXPECT_LT(Milliseconds(middle, end), 20.0) << "a pause of 0 only gives up the time slice";
}
