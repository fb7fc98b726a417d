// Worker threads under Wine: numbering from 1 in a fresh process, polling without blocking,
// killing a worker blocked forever, purging ended workers, and the 1 ms pause.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "toolkit/system_handle_win.h"
#include "toolkit/system_info.h"
#include "toolkit/workers_win.h"

using namespace lurvik;

namespace {

// What a test worker leaves behind: its thread id (so the test can open the thread with the
// query access that the SYNCHRONIZE copies lack), and the exit code it returns.
struct WorkerRecord {
  std::atomic<DWORD> threadId{0};
  DWORD exitCode = 0;
  HANDLE block = nullptr;  // when set, the worker waits on it forever (a hung system call)
};

DWORD WINAPI RecordAndReturn(void* parameter) {
  WorkerRecord* record = static_cast<WorkerRecord*>(parameter);
  record->threadId = GetCurrentThreadId();
  if (record->block) WaitForSingleObject(record->block, INFINITE);
  return record->exitCode;
}

DWORD WINAPI ReturnAtOnce(void*) { return 0; }

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Waits until the worker has ended, through the SYNCHRONIZE copy the toolkit hands out.
bool WaitForEnd(int32_t worker) {
  SystemHandle thread(DuplicateWorkerThreadHandle(worker));
  return thread && WaitForSingleObject(thread.Get(), 5000) == WAIT_OBJECT_0;
}

// A handle that can read the worker's exit code; the worker must have recorded its id.
SystemHandle OpenForQuery(const WorkerRecord& record) {
  for (int waited = 0; record.threadId == 0 && waited < 5000; waited += 1) Sleep(1);
  return SystemHandle(OpenThread(THREAD_QUERY_INFORMATION | SYNCHRONIZE, FALSE, record.threadId));
}

int64_t ExitCode(const SystemHandle& thread) {
  DWORD code = 0;
  return GetExitCodeThread(thread.Get(), &code) ? static_cast<int64_t>(code) : -1;
}

}  // namespace

// Worker numbers are process-wide, so the first-number check runs in a child process of this
// executable that runs nothing but that check.
TEST(ToolkitWorkers, FirstWorkerOfAProcessIsOneAndTheNextTwo) {
  char fresh[8] = {};
  if (GetEnvironmentVariableA("LURVIK_FRESH_WORKER_PROCESS", fresh, sizeof fresh) > 0) {
    int32_t first = StartWorker(ReturnAtOnce, nullptr);
    EXPECT_EQ(first, 1);
    EXPECT_TRUE(WaitForEnd(first));
    EXPECT_EQ(StartWorker(ReturnAtOnce, nullptr), 2) << "whatever happened to the first";
    return;
  }
  std::string command = "\"" + ProgramPath() + "\" --gtest_filter=ToolkitWorkers.FirstWorkerOfAProcessIsOneAndTheNextTwo";
  SetEnvironmentVariableA("LURVIK_FRESH_WORKER_PROCESS", "1");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
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
  WorkerRecord record;
  record.exitCode = 7;
  record.block = never.Get();
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  int32_t worker = StartWorker(RecordAndReturn, &record);
  ASSERT_NE(worker, 0);
  int polls = 0;
  while (polls < 50 && IsWorkerRunning(worker)) {
    ++polls;
    PauseMilliseconds(1);
  }
  EXPECT_EQ(polls, 50);
  SystemHandle thread = OpenForQuery(record);
  ASSERT_TRUE(thread);
  KillWorker(worker);
  QueryPerformanceCounter(&end);
  EXPECT_EQ(IsWorkerRunning(worker), 0);
  EXPECT_EQ(DuplicateWorkerThreadHandle(worker), nullptr) << "a killed worker is removed at once";
  ASSERT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0) << "the thread really ends";
  EXPECT_EQ(ExitCode(thread), 0) << "terminated with exit code 0, not returned";
  double elapsed = Milliseconds(start, end);
  EXPECT_LT(elapsed, 1000.0);
  std::printf("[          ] 50 polls and a kill took %.1f ms\n", elapsed);
}

TEST(ToolkitWorkers, FinishedWorkerReadsAsEndedAndIsPurgedByTheNextStart) {
  WorkerRecord record;
  record.exitCode = 42;
  int32_t done = StartWorker(RecordAndReturn, &record);
  ASSERT_NE(done, 0);
  ASSERT_TRUE(WaitForEnd(done));
  EXPECT_EQ(IsWorkerRunning(done), 0);
  SystemHandle stillListed(DuplicateWorkerThreadHandle(done));
  EXPECT_TRUE(stillListed) << "an ended worker stays listed until the next start";

  int32_t next = StartWorker(ReturnAtOnce, nullptr);
  EXPECT_EQ(next, done + 1);
  EXPECT_EQ(DuplicateWorkerThreadHandle(done), nullptr) << "purged by the start";
  EXPECT_TRUE(WaitForEnd(next));
}

TEST(ToolkitWorkers, KillingAnEndedWorkerTerminatesNothingAndRemovesIt) {
  WorkerRecord record;
  record.exitCode = 5;
  int32_t worker = StartWorker(RecordAndReturn, &record);
  ASSERT_NE(worker, 0);
  SystemHandle thread = OpenForQuery(record);
  ASSERT_TRUE(thread);
  ASSERT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0);
  KillWorker(worker);
  EXPECT_EQ(ExitCode(thread), 5) << "a worker that ended by itself keeps its exit code";
  EXPECT_EQ(IsWorkerRunning(worker), 0);
  EXPECT_EQ(DuplicateWorkerThreadHandle(worker), nullptr);
  KillWorker(worker);  // a second kill of a number naming nothing does nothing
  KillWorker(0);
  EXPECT_EQ(IsWorkerRunning(0), 0);
  EXPECT_EQ(DuplicateWorkerThreadHandle(0), nullptr);
}

TEST(ToolkitWorkers, ReleaseForgetsWorkersWithoutStoppingThem) {
  SystemHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  WorkerRecord record;
  record.block = never.Get();
  int32_t worker = StartWorker(RecordAndReturn, &record);
  ASSERT_NE(worker, 0);
  SystemHandle thread(DuplicateWorkerThreadHandle(worker));
  ReleaseWorkers();
  EXPECT_EQ(IsWorkerRunning(worker), 0);
  EXPECT_EQ(WaitForSingleObject(thread.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
  SetEvent(never.Get());
  EXPECT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0);
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
