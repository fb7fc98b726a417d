// Probe workers on real threads: a probe held before its call is never terminated, one held
// inside its call is killed after the bounded wait, one held after leaving its call counts as
// finished with its result; and a probe's storage outlives every thread that may still write
// into it (a terminated thread can run on for a moment after TerminateThread).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "inventory/hang_safe_queries.h"
#include "inventory/probe_keeper_win.h"
#include "inventory/windows_system_win.h"
#include "toolkit/workers_win.h"

using namespace lurvik;

namespace {

// Where a test probe is held until the test sets the event; it marks how far it got.
enum Hold { kBeforeCall, kInCall, kAfterCall };
struct HeldProbe {
  Hold hold;
  HANDLE release;
};
HeldProbe Held;
constexpr int32_t kResult = 42, kReturnedWithoutCall = -5;

DWORD WINAPI HeldProbeProcedure(void* parameter) {
  auto* storage = static_cast<ProbeStorage*>(parameter);
  if (Held.hold == kBeforeCall) WaitForSingleObject(Held.release, INFINITE);
  if (!EnterProbeCall(storage->phase)) {
    storage->ProbedFileType = kReturnedWithoutCall;
    return 0;
  }
  if (Held.hold == kInCall) WaitForSingleObject(Held.release, INFINITE);
  storage->ProbedFileType = kResult;
  if (!LeaveProbeCall(storage->phase)) Sleep(INFINITE);
  if (Held.hold == kAfterCall) WaitForSingleObject(Held.release, INFINITE);
  return 7;
}

TEST(InventoryProbe, KilledOnlyInsideItsCall) {
  struct Case {
    Hold hold;
    WaitResult result;
    DWORD minimumMs, maximumMs;
    int32_t value;  // what the probe left in its storage once it has ended
  } cases[] = {
      {kBeforeCall, WaitResult::Abandoned, 1900, 6000, kReturnedWithoutCall},
      {kInCall, WaitResult::Abandoned, 45, 3000, 0},
      {kAfterCall, WaitResult::Finished, 0, 40, kResult},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "held at " << c.hold);
    Held = {c.hold, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    WindowsSystem system(ProbeProcedures{HeldProbeProcedure, HeldProbeProcedure});
    auto storage = std::make_shared<ProbeStorage>();
    const int32_t worker = system.StartProbe(ProbeKind::FileType, storage);
    ASSERT_NE(worker, 0);
    HANDLE thread = DuplicateWorkerThreadHandle(worker);
    ASSERT_NE(thread, nullptr);
    if (c.hold != kBeforeCall)  // let the thread reach its hold before the wait starts
      for (int i = 0; i < 5000 && storage->phase.load() == kProbeStarting; ++i) Sleep(1);

    const DWORD start = GetTickCount();
    EXPECT_EQ(WaitOrKillWorker(system, worker, *storage), c.result);
    const DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, c.minimumMs);
    EXPECT_LE(waited, c.maximumMs);
    if (c.hold == kInCall) {
      EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0) << "terminated";
    } else {
      EXPECT_EQ(WaitForSingleObject(thread, 100), static_cast<DWORD>(WAIT_TIMEOUT)) << "not terminated";
    }
    SetEvent(Held.release);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(storage->ProbedFileType, c.value);
    CloseHandle(thread);
    CloseHandle(Held.release);
  }
}

// Waits for its release event, then writes into its storage: the late write of a worker
// that its starter has given up on.
HANDLE LateRelease;
DWORD WINAPI LateWritingProbe(void* parameter) {
  WaitForSingleObject(LateRelease, INFINITE);
  static_cast<ProbeStorage*>(parameter)->ProbedFileType = 7;
  return 0;
}

// Starts a late writer tracked by the keeper as killed; returns a handle to wait on.
HANDLE TrackLateWriter(ProbeKeeper& keeper, std::shared_ptr<ProbeStorage> storage) {
  const int32_t worker = StartWorker(LateWritingProbe, storage.get());
  EXPECT_NE(worker, 0);
  HANDLE thread = DuplicateWorkerThreadHandle(worker);
  keeper.Track(worker, DuplicateWorkerThreadHandle(worker), std::move(storage));
  keeper.MarkKilled(worker);  // given up on, but still running
  return thread;
}

TEST(InventoryProbe, StorageOfAKilledThreadThatRunsOnStaysAliveUntilItEnds) {
  LateRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::weak_ptr<ProbeStorage> first, second;
  HANDLE threads[2];
  {
    ProbeKeeper keeper;
    auto a = std::make_shared<ProbeStorage>(), b = std::make_shared<ProbeStorage>();
    first = a;
    second = b;
    threads[0] = TrackLateWriter(keeper, std::move(a));
    threads[1] = TrackLateWriter(keeper, std::move(b));
    keeper.ReleaseEnded();
    EXPECT_FALSE(first.expired()) << "released while its thread still runs";
    const DWORD start = GetTickCount();
    keeper.ReleaseAll(300);
    const DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 280u);
    EXPECT_LT(waited, 500u) << "one bound for all threads, not one each";
  }
  // The keeper is gone; the threads are still alive and their late writes land in live memory.
  SetEvent(LateRelease);
  for (HANDLE thread : threads) EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  ASSERT_FALSE(first.expired());
  ASSERT_FALSE(second.expired());
  EXPECT_EQ(first.lock()->ProbedFileType, 7);
  EXPECT_EQ(second.lock()->ProbedFileType, 7);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(LateRelease);
}

TEST(InventoryProbe, StorageIsReleasedOnceItsThreadHasEnded) {
  LateRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ProbeKeeper keeper;
  auto storage = std::make_shared<ProbeStorage>();
  std::weak_ptr<ProbeStorage> watched = storage;
  HANDLE thread = TrackLateWriter(keeper, std::move(storage));
  SetEvent(LateRelease);
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  keeper.ReleaseEnded();
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(keeper.TrackedCount(), 0u);
  CloseHandle(thread);
  CloseHandle(LateRelease);
}

}  // namespace
