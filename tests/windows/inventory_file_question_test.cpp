// The file questions of a trip on real threads, through the real question procedure with
// system calls that hang: three files in one trip, of which one (first, in the middle or
// last) or all hang in their type call, after a type call of 30 ms in their name call, or in
// the question whether they are folders. Each hung call is killed inside it within its own
// bound of 50 pauses from its own start (the worker's end, as the system stamps it, against
// the call's start), what its question learnt before counts, the files before it are answered
// by the same worker and the files after it by a new one. A character device's name is not
// asked; a folder is told from a file by its handle.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "inventory/probe_questions_win.h"
#include "inventory/probe_worker.h"
#include "inventory/windows_system_win.h"
#include "toolkit/system_handle_win.h"

using namespace lurvik;

namespace {

constexpr int kFiles = 3;
enum HangIn { kNone, kType, kName, kFolder };
HANDLE Files[kFiles];
HangIn Hangs[kFiles];
DWORD CallingThread[kFiles];
ULONGLONG HungCallStarted[kFiles];  // the system time, in 100 ns
HANDLE HungThread[kFiles];          // the worker in that call
HANDLE Release;
volatile LONG NameCalls;
volatile LONG HungCallsReturned;
QueryObjectCall RealQueryObject;
QueryFileCall RealQueryFile;

int FileNumber(HANDLE file) {
  for (int i = 0; i < kFiles; ++i)
    if (Files[i] == file) return i;
  return -1;
}

ULONGLONG Value(FILETIME time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

void HangUntilReleased(int file) {
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &HungThread[file], 0, FALSE, DUPLICATE_SAME_ACCESS);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  HungCallStarted[file] = Value(now);
  WaitForSingleObject(Release, INFINITE);
  InterlockedIncrement(&HungCallsReturned);  // a call killed inside never gets here
}

DWORD WINAPI TypeCall(HANDLE file) {
  const int number = FileNumber(file);
  if (number >= 0) CallingThread[number] = GetCurrentThreadId();
  if (number >= 0 && Hangs[number] == kType) HangUntilReleased(number);
  if (number >= 0 && Hangs[number] == kName) Sleep(30);  // a slow type call before the name's hang
  return GetFileType(file);
}

LONG WINAPI NameCall(HANDLE file, ULONG infoClass, void* buffer, ULONG size, ULONG* length) {
  InterlockedIncrement(&NameCalls);
  const int number = FileNumber(file);
  if (number >= 0 && Hangs[number] == kName) HangUntilReleased(number);
  return RealQueryObject(file, infoClass, buffer, size, length);
}

LONG WINAPI FolderCall(HANDLE file, void* status, void* record, ULONG size, ULONG infoClass) {
  const int number = FileNumber(file);
  if (number >= 0 && Hangs[number] == kFolder) HangUntilReleased(number);
  return RealQueryFile(file, status, record, size, infoClass);
}

DWORD WINAPI FileProbeWithHangs(void* storage) {
  return AnswerFileQuestion(*static_cast<ProbeStorage*>(storage), {TypeCall, NameCall, FolderCall}) ? 1 : 0;
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

TEST(FileQuestion, EachHungCallOfATripIsKilledWithinItsOwnBoundAndTheFilesAfterItGoToANewWorker) {
  RealQueryObject = reinterpret_cast<QueryObjectCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "ZwQueryObject")));
  RealQueryFile = reinterpret_cast<QueryFileCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile")));
  SystemHandle release(Release = CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::vector<SystemHandle> files;
  for (int i = 0; i < kFiles; ++i) {
    files.emplace_back(CreateFileA(("lurvik_file_question_" + std::to_string(i) + ".txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                                   0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(files.back());
    Files[i] = files.back().Get();
  }
  WindowsSystem system(ProbeProcedures{FileProbeWithHangs, RealProbeProcedures().objectName});
  ProbeWorker probes(system);
  const struct {
    const char* what;
    HangIn hangs[kFiles];
  } cases[] = {
      {"the first file's type hangs", {kType, kNone, kNone}},
      {"the middle file's name hangs", {kNone, kName, kNone}},
      {"the last file's type hangs", {kNone, kNone, kType}},
      {"the first file's folder question hangs", {kFolder, kNone, kNone}},
      {"every file hangs", {kName, kFolder, kType}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProbeTrip trip;
    for (int i = 0; i < kFiles; ++i) {
      Hangs[i] = c.hangs[i];
      HungThread[i] = nullptr, CallingThread[i] = 0;
      trip.push_back(FileQuestion(Files[i]));
    }
    const std::vector<WaitResult> results = probes.AskAll(ProbeKind::File, trip);
    for (int i = 0; i < kFiles; ++i) {
      SCOPED_TRACE(testing::Message() << "file " << i);
      EXPECT_EQ(results[i], c.hangs[i] == kNone ? WaitResult::Finished : WaitResult::Abandoned);
      EXPECT_EQ(FirstProbeCallAnswered(trip[i]->phase), c.hangs[i] != kType) << "the type counts";
      if (c.hangs[i] != kType) EXPECT_EQ(trip[i]->ProbedFileType, 1) << "FILE_TYPE_DISK";
      EXPECT_EQ(SecondProbeCallAnswered(trip[i]->phase), c.hangs[i] == kNone || c.hangs[i] == kFolder) << "the name counts";
      if (c.hangs[i] == kNone || c.hangs[i] == kFolder)
        EXPECT_NE(NameIn(*trip[i]).find(L"lurvik_file_question_" + std::to_wstring(i)), std::wstring::npos);
      EXPECT_EQ(trip[i]->ProbedFolder, c.hangs[i] == kNone ? 0 : -1) << "a file, or not known";
      if (i > 0) EXPECT_EQ(CallingThread[i] == CallingThread[i - 1], c.hangs[i - 1] == kNone) << "the same worker as the file before";
      if (c.hangs[i] == kNone) continue;
      // The hung call gets its own 50 pauses from its start, not what was left of another's,
      // and nothing like the 2 s of a question not yet entered.
      SystemHandle thread(HungThread[i]);
      ASSERT_TRUE(thread);
      EXPECT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0) << "the hung worker was terminated";
      FILETIME created, ended, kernel, user;
      ASSERT_TRUE(GetThreadTimes(thread.Get(), &created, &ended, &kernel, &user));
      const ULONGLONG lasted = (Value(ended) - HungCallStarted[i]) / 10000;
      EXPECT_TRUE(lasted >= 45 && lasted <= 500) << "killed " << lasted << " ms after the hung call began";
    }
  }
  SystemHandle device(CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  auto character = FileQuestion(device.Get());
  const LONG namesBefore = NameCalls;
  EXPECT_EQ(probes.Ask(ProbeKind::File, character), WaitResult::Finished);
  EXPECT_EQ(character->ProbedFileType, 2) << "FILE_TYPE_CHAR";
  EXPECT_EQ(NameCalls, namesBefore) << "name calls for a character device";
  SystemHandle folder(CreateFileA(".", 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  auto folderQuestion = FileQuestion(folder.Get());
  EXPECT_EQ(probes.Ask(ProbeKind::File, folderQuestion), WaitResult::Finished);
  EXPECT_EQ(folderQuestion->ProbedFolder, 1) << "a folder opened with no access right";

  SetEvent(Release);
  Sleep(200);
  EXPECT_EQ(HungCallsReturned, 0) << "a hung call returned: its worker was not killed inside it";
}
