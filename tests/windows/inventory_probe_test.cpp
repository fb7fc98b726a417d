// The probe worker on real threads: a worker held before its question's call is never
// terminated, one held inside its call is killed after the bounded wait, one held after
// leaving its call counts as finished with its result; a worker killed or given up is
// replaced by a new thread, one that answered is asked again; the names of events are asked
// on the scan thread and those of files on the worker, all of a scan's file questions on one
// worker. A probe's storage outlives every thread that may still
// write into it (a terminated thread can run on for a moment after TerminateThread).
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "inventory/inventory.h"
#include "inventory/probe_keeper_win.h"
#include "inventory/probe_questions_win.h"
#include "inventory/probe_worker.h"
#include "inventory/windows_system_win.h"
#include "shell/app_state.h"
#include "shell/optional_entry_points_win.h"
#include "toolkit/system_handle_win.h"
#include "toolkit/workers_win.h"

using namespace lurvik;

namespace {

// Threads started in this process, counted by the loader's thread notification (a TLS
// callback), independently of the code that starts them.
volatile LONG ThreadStarts;
void NTAPI CountThreadStart(void*, DWORD reason, void*) {
  if (reason == DLL_THREAD_ATTACH) InterlockedIncrement(&ThreadStarts);
}
extern "C" {
extern PIMAGE_TLS_CALLBACK CountThreadStartCallback;
__attribute__((used, section(".CRT$XLY"))) PIMAGE_TLS_CALLBACK CountThreadStartCallback = CountThreadStart;
}

// Where the test procedure waits for Release (for HeldQuestion alone, when that is set); it
// leaves in its storage how far it got and notes the thread that took the question.
enum Hold { kNoHold, kBeforeCall, kInCall, kAfterCall };
Hold HeldAt;
ProbeStorage* HeldQuestion;
HANDLE Release;
DWORD AnsweringThread;
constexpr int32_t kResult = 42, kReturnedWithoutCall = -5;

DWORD WINAPI HeldProbe(void* parameter) {
  auto* storage = static_cast<ProbeStorage*>(parameter);
  AnsweringThread = GetCurrentThreadId();
  if (HeldAt == kBeforeCall && (HeldQuestion == nullptr || HeldQuestion == storage)) WaitForSingleObject(Release, INFINITE);
  if (!EnterProbeCall(storage->phase)) {
    storage->ProbedFileType = kReturnedWithoutCall;
    return 0;
  }
  if (HeldAt == kInCall) WaitForSingleObject(Release, INFINITE);
  storage->ProbedFileType = kResult;
  if (!LeaveProbeCall(storage->phase)) Sleep(INFINITE);
  if (HeldAt == kAfterCall) WaitForSingleObject(Release, INFINITE);
  return 1;
}

// Waits for Release, then writes into its storage: the late write of a killed probe.
DWORD WINAPI LateWriter(void* storage) {
  WaitForSingleObject(Release, INFINITE);
  static_cast<ProbeStorage*>(storage)->ProbedFileType = 7;
  return 0;
}

}  // namespace

TEST(InventoryProbe, KilledOnlyInsideItsCallAndReusedOtherwise) {
  const struct {
    Hold hold;
    WaitResult result;
    DWORD minimumMs, maximumMs;
    int32_t value;  // left in the storage once the thread is done with it
  } cases[] = {
      {kBeforeCall, WaitResult::Abandoned, 1900, 6000, kReturnedWithoutCall},
      {kInCall, WaitResult::Abandoned, 45, 3000, 0},
      {kAfterCall, WaitResult::Finished, 0, 40, kResult},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "held at " << c.hold);
    HeldAt = c.hold;
    SystemHandle release(Release = CreateEventA(nullptr, TRUE, FALSE, nullptr));
    WindowsSystem system(ProbeProcedures{HeldProbe, HeldProbe});
    ProbeWorker probes(system);
    auto storage = std::make_shared<ProbeStorage>();
    const DWORD start = GetTickCount();
    EXPECT_EQ(probes.Ask(ProbeKind::File, storage), c.result);
    const DWORD waited = GetTickCount() - start;
    EXPECT_TRUE(waited >= c.minimumMs && waited <= c.maximumMs)
        << "waited " << waited << " ms, expected " << c.minimumMs << " to " << c.maximumMs;
    const DWORD firstThread = AnsweringThread;
    SystemHandle thread(OpenThread(SYNCHRONIZE, FALSE, firstThread));
    ASSERT_TRUE(thread);
    const bool terminated = WaitForSingleObject(thread.Get(), c.hold == kInCall ? 5000 : 100) == WAIT_OBJECT_0;
    EXPECT_EQ(terminated, c.hold == kInCall) << "thread terminated";
    SetEvent(Release);
    if (c.hold == kBeforeCall)  // given up: it ends once it is back from its question
      EXPECT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0);
    else
      for (int i = 0; i < 5000 && storage->ProbedFileType != c.value; ++i) Sleep(1);
    EXPECT_EQ(storage->ProbedFileType, c.value);

    HeldAt = kNoHold;
    auto next = std::make_shared<ProbeStorage>();
    EXPECT_EQ(probes.Ask(ProbeKind::ObjectName, next), WaitResult::Finished);
    EXPECT_EQ(next->ProbedFileType, kResult);
    EXPECT_EQ(AnsweringThread == firstThread, c.result == WaitResult::Finished) << "the same thread answered the next question";
  }
}

// A question given up before it began ends its worker's trip: when the worker reaches it at
// last, it returns without its call and goes no further, so the question after it, which a
// new worker has answered meanwhile, is entered by no other thread.
TEST(InventoryProbe, AQuestionGivenUpBeforeItBeganEndsItsTrip) {
  HeldAt = kBeforeCall;
  SystemHandle release(Release = CreateEventA(nullptr, TRUE, FALSE, nullptr));
  WindowsSystem system(ProbeProcedures{HeldProbe, HeldProbe});
  ProbeWorker probes(system);
  const ProbeTrip trip{std::make_shared<ProbeStorage>(), std::make_shared<ProbeStorage>()};
  HeldQuestion = trip[0].get();
  EXPECT_EQ(probes.AskAll(ProbeKind::File, trip), (std::vector<WaitResult>{WaitResult::Abandoned, WaitResult::Finished}));
  EXPECT_EQ(trip[1]->ProbedFileType, kResult);
  SetEvent(Release);
  for (int i = 0; i < 5000 && trip[0]->ProbedFileType != kReturnedWithoutCall; ++i) Sleep(1);
  EXPECT_EQ(trip[0]->ProbedFileType, kReturnedWithoutCall) << "the first worker left its question without the call";
  Sleep(100);
  EXPECT_EQ(trip[1]->ProbedFileType, kResult) << "the first worker went on into a question it no longer had";
  HeldQuestion = nullptr;
  HeldAt = kNoHold;
}

// A pause ends when the worker is back, not at the end of its millisecond: 1,000 questions
// answered at once take far less than 1,000 pauses (under Wine a pause of "1 ms" ends after
// 0.5 to 1.1 ms; an answer is in after about 0.1 ms).
TEST(InventoryProbe, AnAnswerEndsThePauseAtOnce) {
  HeldAt = kNoHold;
  WindowsSystem system(ProbeProcedures{HeldProbe, HeldProbe});
  ProbeWorker probes(system);
  EXPECT_EQ(probes.Ask(ProbeKind::File, std::make_shared<ProbeStorage>()), WaitResult::Finished);  // the thread start
  const DWORD start = GetTickCount();
  int finished = 0;
  for (int i = 0; i < 1000; ++i) finished += probes.Ask(ProbeKind::File, std::make_shared<ProbeStorage>()) == WaitResult::Finished;
  const DWORD waited = GetTickCount() - start;
  EXPECT_EQ(finished, 1000);
  EXPECT_LT(waited, 300u) << "ms for 1,000 questions";
}

// Which thread asked each name question, counted by the name the question found: a named
// event's name is asked on the scan thread itself, a file's name on the probe worker. The
// count is taken inside the name call, while the question's storage is still the asker's:
// once the worker marks that it left the call, the scan may go on and free that storage.
DWORD ScanThreadId;
QueryObjectCall RealQueryObject;  // looked up before the scan starts
volatile LONG EventNamesOnScanThread, EventNamesElsewhere, FileNamesOnWorker;

// Whether the counted name holds `part`; compared in place, since a worker inside its call
// must not allocate (it may be killed there).
bool NameHas(const UNICODE_STRING& name, const wchar_t* part) {
  const size_t length = name.Length / 2, partLength = wcslen(part);
  for (size_t at = 0; name.Buffer != nullptr && at + partLength <= length; ++at)
    if (wcsncmp(name.Buffer + at, part, partLength) == 0) return true;
  return false;
}

LONG WINAPI CountedQueryObject(HANDLE handle, ULONG infoClass, void* buffer, ULONG size, ULONG* length) {
  const LONG status = RealQueryObject(handle, infoClass, buffer, size, length);
  const auto& name = *static_cast<const UNICODE_STRING*>(buffer);
  const bool onScanThread = GetCurrentThreadId() == ScanThreadId;
  if (status == 0 && NameHas(name, L"lurvik_probe_direct_"))
    InterlockedIncrement(onScanThread ? &EventNamesOnScanThread : &EventNamesElsewhere);
  if (status == 0 && NameHas(name, L"lurvik_probe_file.txt") && !onScanThread) InterlockedIncrement(&FileNamesOnWorker);
  return status;
}

DWORD WINAPI CountedNameProbe(void* parameter) {
  return AnswerNameQuestion(*static_cast<ProbeStorage*>(parameter), {GetFileType, CountedQueryObject}) ? 1 : 0;
}

DWORD WINAPI CountedFileProbe(void* parameter) {
  return AnswerFileQuestion(*static_cast<ProbeStorage*>(parameter), {GetFileType, CountedQueryObject}) ? 1 : 0;
}

// Scans this test process alone with the given question procedures and returns the threads
// started meanwhile. The process label needs the image-name calls, which the other tests
// expect missing.
LONG ScanOwnProcess(ProbeProcedures procedures) {
  LoadOptionalEntryPoints();
  ProcessFilter = "lurvik_windows_tests.exe";
  LONG started = 0;
  {
    WindowsSystem system(procedures);
    const LONG before = ThreadStarts;
    TakeInventory(system);
    started = ThreadStarts - before;
  }
  ProcessFilter.clear();
  for (void** address : {&GetProcessImageFileNameW_Address, &GetModuleFileNameExW_Address, &GetProcessId_Address,
                         &GetThreadId_Address, &GetProcessIdOfThread_Address})
    *address = nullptr;
  return started;
}

size_t CountInLog(const std::string& text) {
  size_t count = 0;
  for (size_t at = LogText.find(text); at != std::string::npos; at = LogText.find(text, at + 1)) ++count;
  return count;
}

// A scan of the test process holding 300 named events and 300 files: each event's name is
// asked on the scan thread itself, each file's type and name on the probe worker, one thread
// started in all (counted by the loader's notification).
TEST(InventoryProbe, EventNamesAreAskedOnTheScanThreadAllFileQuestionsOnOneWorker) {
  std::vector<SystemHandle> handles;
  for (int i = 0; i < 300; ++i) {
    handles.emplace_back(CreateEventA(nullptr, TRUE, FALSE, ("lurvik_probe_direct_" + std::to_string(i)).c_str()));
    handles.emplace_back(CreateFileA("lurvik_probe_file.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  }
  ASSERT_TRUE(handles.back());
  ScanThreadId = GetCurrentThreadId();
  RealQueryObject = reinterpret_cast<QueryObjectCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "ZwQueryObject")));
  ASSERT_NE(RealQueryObject, nullptr);
  EXPECT_EQ(ScanOwnProcess(ProbeProcedures{CountedFileProbe, CountedNameProbe}), 1) << "threads started by the scan";
  EXPECT_EQ(CountInLog("BaseNamedObjects\\lurvik_probe_direct_"), 300u) << "names found in the log";
  EXPECT_EQ(EventNamesOnScanThread, 300) << "event names asked on the scan thread";
  EXPECT_EQ(EventNamesElsewhere, 0) << "event names asked on another thread";
  EXPECT_EQ(FileNamesOnWorker, 300) << "file names asked on the worker";
  EXPECT_EQ(CountInLog("\\lurvik_probe_file.txt\r\n"), 300u) << "file names in the log";
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
