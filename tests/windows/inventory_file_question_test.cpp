// The file question on real threads, through the real question procedure with system calls
// that hang: a file whose type call hangs, one whose name call hangs (after a type call of
// 30 ms), one whose both calls would hang. Each is killed inside its hung call within that
// call's own bound of 50 pauses, what the question learnt before it counts, and the next file
// is answered by a new worker thread. A character device's name is not asked.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "inventory/probe_questions_win.h"
#include "inventory/probe_worker.h"
#include "inventory/windows_system_win.h"
#include "toolkit/system_handle_win.h"

using namespace lurvik;

namespace {

HANDLE TypeHangs, NameHangs;  // the handle whose type call, or name call, hangs until Release
HANDLE Release;
DWORD CallingThread, NameCallStarted;
volatile LONG NameCalls;
volatile LONG HungCallsReturned;
QueryObjectCall RealQueryObject;

void Hang() {
  WaitForSingleObject(Release, INFINITE);
  InterlockedIncrement(&HungCallsReturned);  // a call killed inside never gets here
}

DWORD WINAPI TypeCall(HANDLE file) {
  CallingThread = GetCurrentThreadId();
  if (file == TypeHangs) Hang();
  if (file == NameHangs) Sleep(30);  // a slow type call before the name's hang
  return GetFileType(file);
}

LONG WINAPI NameCall(HANDLE file, ULONG infoClass, void* buffer, ULONG size, ULONG* length) {
  InterlockedIncrement(&NameCalls);
  if (file == NameHangs) {
    NameCallStarted = GetTickCount();
    Hang();
  }
  return RealQueryObject(file, infoClass, buffer, size, length);
}

DWORD WINAPI FileProbeWithHangs(void* storage) {
  AnswerFileQuestion(*static_cast<ProbeStorage*>(storage), {TypeCall, NameCall});
  return 0;
}

std::shared_ptr<ProbeStorage> FileQuestion(HANDLE file) {
  auto storage = std::make_shared<ProbeStorage>();
  storage->handle = reinterpret_cast<uintptr_t>(file);
  storage->NameQueryBuffer.assign(10004, 0);
  return storage;
}

std::wstring NameIn(const ProbeStorage& storage) {
  const auto* name = reinterpret_cast<const UNICODE_STRING*>(storage.NameQueryBuffer.data());
  if (storage.nameStatus != 0 || name->Buffer == nullptr) return L"";
  return std::wstring(name->Buffer, name->Length / 2);
}

}  // namespace

TEST(FileQuestion, EachHungCallIsKilledWithinItsOwnBoundAndTheNextFileGoesToANewWorker) {
  RealQueryObject = reinterpret_cast<QueryObjectCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "ZwQueryObject")));
  SystemHandle release(Release = CreateEventA(nullptr, TRUE, FALSE, nullptr));
  SystemHandle file(CreateFileA("lurvik_file_question.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  ASSERT_TRUE(file);
  WindowsSystem system(ProbeProcedures{FileProbeWithHangs, RealProbeProcedures().objectName});
  ProbeWorker probes(system);
  const struct {
    const char* what;
    bool typeHangs, nameHangs, typeCounts, nameCalled;
  } cases[] = {
      {"the type hangs", true, false, false, false},
      {"the name hangs after a type call of 30 ms", false, true, true, true},
      {"both hang: killed in the type call", true, true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TypeHangs = c.typeHangs ? file.Get() : nullptr;
    NameHangs = c.nameHangs ? file.Get() : nullptr;
    NameCallStarted = 0;
    auto hung = FileQuestion(file.Get());
    const DWORD asked = GetTickCount();
    EXPECT_EQ(probes.Ask(ProbeKind::File, hung), WaitResult::Abandoned);
    const DWORD done = GetTickCount();
    const DWORD hungThread = CallingThread;
    EXPECT_EQ(FirstProbeCallAnswered(hung->phase), c.typeCounts) << "the type counts";
    if (c.typeCounts) EXPECT_EQ(hung->ProbedFileType, 1) << "FILE_TYPE_DISK";
    EXPECT_EQ(NameCallStarted != 0, c.nameCalled) << "the name call was made";
    // From the start of the hung call to the scan's return: that call's 50 pauses, not what
    // was left of the type's, and nothing like the 2 s of a question not yet entered.
    const DWORD hangLasted = done - (c.typeHangs ? asked : NameCallStarted);
    EXPECT_TRUE(hangLasted >= 45 && hangLasted <= 500) << "the hung call lasted " << hangLasted << " ms";
    SystemHandle thread(OpenThread(SYNCHRONIZE, FALSE, hungThread));
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0) << "the hung worker was terminated";

    TypeHangs = NameHangs = nullptr;
    auto next = FileQuestion(file.Get());
    EXPECT_EQ(probes.Ask(ProbeKind::File, next), WaitResult::Finished);
    EXPECT_NE(CallingThread, hungThread) << "the next file went to the killed worker";
    EXPECT_EQ(next->ProbedFileType, 1);
    EXPECT_NE(NameIn(*next).find(L"lurvik_file_question.txt"), std::wstring::npos);
  }
  SystemHandle device(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  auto character = FileQuestion(device.Get());
  const LONG namesBefore = NameCalls;
  EXPECT_EQ(probes.Ask(ProbeKind::File, character), WaitResult::Finished);
  EXPECT_EQ(character->ProbedFileType, 2) << "FILE_TYPE_CHAR";
  EXPECT_EQ(NameCalls, namesBefore) << "name calls for a character device";

  SetEvent(Release);
  Sleep(200);
  EXPECT_EQ(HungCallsReturned, 0) << "a hung call returned: its worker was not killed inside it";
}
