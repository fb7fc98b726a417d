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
#include "toolkit/system_handle_win.h"
#include "toolkit/workers_win.h"

using namespace lurvik;

namespace {

// Where the test probe waits for Release; it leaves in its storage how far it got.
enum Hold { kBeforeCall, kInCall, kAfterCall };
Hold HeldAt;
HANDLE Release;
constexpr int32_t kResult = 42, kReturnedWithoutCall = -5;

DWORD WINAPI HeldProbe(void* parameter) {
  auto* storage = static_cast<ProbeStorage*>(parameter);
  if (HeldAt == kBeforeCall) WaitForSingleObject(Release, INFINITE);
  if (!EnterProbeCall(storage->phase)) {
    storage->ProbedFileType = kReturnedWithoutCall;
    return 0;
  }
  if (HeldAt == kInCall) WaitForSingleObject(Release, INFINITE);
  storage->ProbedFileType = kResult;
  if (!LeaveProbeCall(storage->phase)) Sleep(INFINITE);
  if (HeldAt == kAfterCall) WaitForSingleObject(Release, INFINITE);
  return 0;
}

// Waits for Release, then writes into its storage: the late write of a killed probe.
DWORD WINAPI LateWriter(void* storage) {
  WaitForSingleObject(Release, INFINITE);
  static_cast<ProbeStorage*>(storage)->ProbedFileType = 7;
  return 0;
}

}  // namespace

TEST(InventoryProbe, KilledOnlyInsideItsCall) {
  const struct {
    Hold hold;
    WaitResult result;
    DWORD minimumMs, maximumMs, endWithin;  // endWithin: ms the thread may take to end before the release
    int32_t value;                          // left in the storage once the thread has ended
  } cases[] = {
      {kBeforeCall, WaitResult::Abandoned, 1900, 6000, 100, kReturnedWithoutCall},
      {kInCall, WaitResult::Abandoned, 45, 3000, 5000, 0},
      {kAfterCall, WaitResult::Finished, 0, 40, 100, kResult},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "held at " << c.hold);
    HeldAt = c.hold;
    SystemHandle release(Release = CreateEventA(nullptr, TRUE, FALSE, nullptr));
    WindowsSystem system(ProbeProcedures{HeldProbe, HeldProbe});
    auto storage = std::make_shared<ProbeStorage>();
    const int32_t worker = system.StartProbe(ProbeKind::FileType, storage);
    SystemHandle thread(DuplicateWorkerThreadHandle(worker));
    ASSERT_TRUE(thread);
    if (c.hold != kBeforeCall)  // let the thread reach its hold before the wait starts
      for (int i = 0; i < 5000 && storage->phase.load() == kProbeStarting; ++i) Sleep(1);
    const DWORD start = GetTickCount();
    EXPECT_EQ(WaitOrKillWorker(system, worker, *storage), c.result);
    const DWORD waited = GetTickCount() - start;
    EXPECT_TRUE(waited >= c.minimumMs && waited <= c.maximumMs)
        << "waited " << waited << " ms, expected " << c.minimumMs << " to " << c.maximumMs;
    const bool terminated = WaitForSingleObject(thread.Get(), c.endWithin) == WAIT_OBJECT_0;
    EXPECT_EQ(terminated, c.hold == kInCall) << "thread terminated";
    SetEvent(Release);
    EXPECT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(storage->ProbedFileType, c.value);
  }
}

// Killed probes whose threads run on: their storage stays alive through ReleaseEnded and a
// ReleaseAll that waits one bound for all of them, so the late writes land in live memory;
// the storage of a thread that has ended is released.
TEST(InventoryProbe, StorageOfAKilledProbeLivesUntilItsThreadHasEnded) {
  SystemHandle release(Release = CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::weak_ptr<ProbeStorage> storages[3];
  SystemHandle threads[3];
  ProbeKeeper keeper;
  auto track = [&](int i) {
    auto storage = std::make_shared<ProbeStorage>();
    storages[i] = storage;
    const int32_t worker = StartWorker(LateWriter, storage.get());
    threads[i] = SystemHandle(DuplicateWorkerThreadHandle(worker));
    keeper.Track(worker, DuplicateWorkerThreadHandle(worker), std::move(storage));
    keeper.MarkKilled(worker);  // given up on, but still running
  };
  track(0);
  track(1);
  keeper.ReleaseEnded();
  EXPECT_FALSE(storages[0].expired()) << "released while its thread still runs";
  const DWORD start = GetTickCount();
  keeper.ReleaseAll(300);
  const DWORD waited = GetTickCount() - start;
  EXPECT_TRUE(waited >= 280 && waited < 500) << "waited " << waited << " ms: one bound of 300 ms for all threads";
  SetEvent(Release);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(WaitForSingleObject(threads[i].Get(), 5000), WAIT_OBJECT_0);
    ASSERT_FALSE(storages[i].expired()) << "storage " << i << " freed before its thread ended";
    EXPECT_EQ(storages[i].lock()->ProbedFileType, 7);
  }
  track(2);
  EXPECT_EQ(WaitForSingleObject(threads[2].Get(), 5000), WAIT_OBJECT_0);
  keeper.ReleaseEnded();
  EXPECT_TRUE(storages[2].expired()) << "kept after its thread had ended";
  EXPECT_EQ(keeper.TrackedCount(), 0u);
}
