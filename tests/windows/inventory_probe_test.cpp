// Probe workers with real threads: a probe blocked forever is terminated after the bounded
// wait and the scan goes on, and a probe's storage outlives every thread that may still
// write into it (a terminated thread can run on for a moment after TerminateThread).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "inventory/hang_safe_queries.h"
#include "inventory/probe_keeper_win.h"
#include "inventory/windows_system_win.h"
#include "toolkit/workers_win.h"

using namespace lurvik;

namespace {

HANDLE NeverSet() {
  static HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// Blocks forever without touching anything, as a name query on a stuck pipe does.
DWORD WINAPI BlockedProbe(void*) {
  WaitForSingleObject(NeverSet(), INFINITE);
  return 0;
}

DWORD WINAPI QuickFileTypeProbe(void* parameter) {
  static_cast<ProbeStorage*>(parameter)->ProbedFileType = 42;
  return 0;
}

// Waits for its release event, then writes into its storage: the late write of a worker
// that its starter has given up on.
struct LateWriter {
  HANDLE release;
};
LateWriter Writer;
DWORD WINAPI LateWritingProbe(void* parameter) {
  WaitForSingleObject(Writer.release, INFINITE);
  static_cast<ProbeStorage*>(parameter)->ProbedFileType = 7;
  return 0;
}

// Waits until the worker's thread has ended.
void AwaitEnd(HANDLE thread) { ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0); }

TEST(InventoryProbe, BlockedProbeIsKilledAfterTheBoundAndTheScanGoesOn) {
  WindowsSystem system(ProbeProcedures{BlockedProbe, BlockedProbe});
  auto storage = std::make_shared<ProbeStorage>();
  std::weak_ptr<ProbeStorage> watched = storage;
  const int32_t worker = system.StartProbe(ProbeKind::ObjectName, storage);
  ASSERT_NE(worker, 0);
  EXPECT_EQ(storage->NameQueryBuffer.size(), 10004u);
  HANDLE thread = DuplicateWorkerThreadHandle(worker);
  ASSERT_NE(thread, nullptr);

  const DWORD start = GetTickCount();
  EXPECT_EQ(WaitOrKillWorker(system, worker), WaitResult::Abandoned);
  const DWORD waited = GetTickCount() - start;
  EXPECT_GE(waited, 45u);     // 50 pauses of at least about 1 ms
  EXPECT_LT(waited, 3000u);   // and not much more
  EXPECT_FALSE(system.IsWorkerRunning(worker));
  AwaitEnd(thread);  // TerminateThread really ended it
  CloseHandle(thread);

  // The scan drops its reference; the system layer let go of it only after the thread ended,
  // which the next start notices.
  storage.reset();
  EXPECT_EQ(system.TrackedProbeCount(), 1u);
  EXPECT_FALSE(watched.expired());
  auto next = std::make_shared<ProbeStorage>();
  const int32_t second = system.StartProbe(ProbeKind::FileType, next);
  EXPECT_TRUE(watched.expired());
  EXPECT_GT(second, worker);
  EXPECT_EQ(WaitOrKillWorker(system, second), WaitResult::Abandoned);
}

TEST(InventoryProbe, FinishedProbesAreReleasedAtTheNextStart) {
  WindowsSystem system(ProbeProcedures{QuickFileTypeProbe, QuickFileTypeProbe});
  for (int i = 0; i < 20; ++i) {
    auto storage = std::make_shared<ProbeStorage>();
    const int32_t worker = system.StartProbe(ProbeKind::FileType, storage);
    ASSERT_NE(worker, 0);
    ASSERT_EQ(WaitOrKillWorker(system, worker), WaitResult::Finished);
    EXPECT_EQ(storage->ProbedFileType, 42);
  }
  EXPECT_LE(system.TrackedProbeCount(), 2u);  // only the last one or two can still be listed
}

TEST(InventoryProbe, StorageOfAKilledThreadThatRunsOnStaysAliveUntilItEnds) {
  Writer.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ProbeKeeper keeper;
  auto storage = std::make_shared<ProbeStorage>();
  std::weak_ptr<ProbeStorage> watched = storage;
  const int32_t worker = StartWorker(LateWritingProbe, storage.get());
  ASSERT_NE(worker, 0);
  HANDLE thread = DuplicateWorkerThreadHandle(worker);
  keeper.Track(worker, DuplicateWorkerThreadHandle(worker), storage);
  // Given up on, but still running: as after a TerminateThread that has not yet taken effect.
  keeper.MarkKilled(worker);
  storage.reset();
  keeper.ReleaseEnded();
  EXPECT_FALSE(watched.expired());

  SetEvent(Writer.release);
  AwaitEnd(thread);
  {
    std::shared_ptr<ProbeStorage> alive = watched.lock();
    ASSERT_TRUE(alive);
    EXPECT_EQ(alive->ProbedFileType, 7);  // the late write landed in live storage
  }
  keeper.ReleaseEnded();
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(keeper.TrackedCount(), 0u);
  CloseHandle(thread);
  CloseHandle(Writer.release);
}

TEST(InventoryProbe, StorageOfAThreadThatOutlivesTheFinalWaitIsNeverFreed) {
  Writer.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::weak_ptr<ProbeStorage> watched;
  HANDLE thread = nullptr;
  {
    ProbeKeeper keeper;
    auto storage = std::make_shared<ProbeStorage>();
    watched = storage;
    const int32_t worker = StartWorker(LateWritingProbe, storage.get());
    ASSERT_NE(worker, 0);
    thread = DuplicateWorkerThreadHandle(worker);
    keeper.Track(worker, DuplicateWorkerThreadHandle(worker), std::move(storage));
    keeper.MarkKilled(worker);
    const DWORD start = GetTickCount();
    keeper.ReleaseAll(100);
    EXPECT_GE(GetTickCount() - start, 90u);
    EXPECT_EQ(keeper.TrackedCount(), 0u);
  }
  EXPECT_FALSE(watched.expired());
  SetEvent(Writer.release);  // the late write still lands in allocated memory
  AwaitEnd(thread);
  EXPECT_EQ(watched.lock()->ProbedFileType, 7);
  CloseHandle(thread);
  CloseHandle(Writer.release);
}

}  // namespace
