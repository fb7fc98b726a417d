// The probe worker's questions and where a kill can land in them. The scan kills a worker
// only after it has claimed the question in a call phase (InCall or InSecondCall) by an
// exchange; every step of the worker that changes the phase is an exchange too, so each
// moment of a question is one of these:
// - Starting, before EnterProbeCall: never killed. A question given up here is left at once,
//   without its call (its handle may already be closed).
// - InCall, from EnterProbeCall to the next exchange: the type call and the writing of its
//   answer. Killed here, nothing of the question counts.
// - InSecondCall, from EnterSecondProbeCall to the next exchange: the name call and the
//   writing of its status. The type was written before the exchange that began this phase, so
//   a kill here leaves it counting; the name record does not count.
// - InThirdCall (a disk file whose name was read), from EnterThirdProbeCall to LeaveProbeCall:
//   the question whether the object is a folder, and the writing of its answer. A kill here
//   leaves the type and the name counting; the folder stays not known.
// - LeftCall: never killed; every result is complete. The worker then goes on to the next
//   question of its trip (or back to its wait), in its own loop, which is never killed either:
//   the scan claims a question only once the worker has entered it.
// A claim that lands while the worker is between its call and its next exchange makes that
// exchange fail: the worker then waits in the system to be terminated, and never writes again,
// nor reaches a later question of its trip. A question given up while Starting makes the
// worker return false without its call, and its loop ends the trip there, so a question the
// scan has handed on to a new worker is never entered by two.
#include "inventory/probe_questions_win.h"

#include <climits>

namespace lurvik {

namespace {

constexpr uint32_t kStatusNotImplemented = 0xC0000002u;
constexpr ULONG kObjectNameClass = 1;
constexpr ULONG kFileStandardInformationClass = 5;
constexpr int32_t kFileTypeDisk = 1;

// FILE_STANDARD_INFORMATION: two 64-bit sizes, the link count, the delete-pending flag and the
// folder flag; and the status block the call writes its status into (a status and a pointer).
struct StandardFileRecord {
  LARGE_INTEGER allocationSize, endOfFile;
  ULONG numberOfLinks;
  BOOLEAN deletePending, directory;
};
struct StatusBlock {
  void* statusOrPointer;
  ULONG_PTR information;
};

[[noreturn]] void AwaitTermination() {
  for (;;) ::Sleep(INFINITE);
}

HANDLE HandleOf(const ProbeStorage& storage) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(storage.handle)); }

// The object-name call into the record buffer that came sized with the question.
void CallQueryName(ProbeStorage& storage, QueryObjectCall queryObject) {
  ULONG length = 0;
  uint32_t status = kStatusNotImplemented;
  const size_t size = storage.NameQueryBuffer.size();
  if (queryObject != nullptr)
    status = static_cast<uint32_t>(queryObject(HandleOf(storage), kObjectNameClass, storage.NameQueryBuffer.data(),
                                               size > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(size), &length));
  storage.nameReply.status = status;
  storage.nameReply.returnedLength = length;
  storage.nameStatus = status;
}

// Whether the object is a folder, asked of the handle itself and not of its path: a path names
// what the system finds there now (on 64-bit Windows, for a 32-bit program, the 32-bit system
// folder instead of the 64-bit one; or another file put in the place of one deleted while
// open), and a path call would first turn the name into the system's form on the process heap,
// whose lock a killed thread would keep for good. The standard record needs no access right,
// so it answers for a handle copied with access 0 too. Its records live on this thread's stack:
// only this thread's call writes them, and the system ends that call before the thread goes.
void CallQueryFolder(ProbeStorage& storage, QueryFileCall queryFile) {
  if (queryFile == nullptr) return;
  StandardFileRecord record = {};
  StatusBlock status = {};
  if (queryFile(HandleOf(storage), &status, &record, sizeof record, kFileStandardInformationClass) == 0)
    storage.ProbedFolder = record.directory ? 1 : 0;
}

}  // namespace

bool AnswerFileQuestion(ProbeStorage& storage, const ProbeCalls& calls) {
  if (!EnterProbeCall(storage.phase)) return false;
  storage.ProbedFileType = static_cast<int32_t>(calls.fileType(HandleOf(storage)));
  if (!FileTypeHasName(storage.ProbedFileType)) {
    if (!LeaveProbeCall(storage.phase)) AwaitTermination();
    return true;
  }
  if (!EnterSecondProbeCall(storage.phase)) AwaitTermination();
  CallQueryName(storage, calls.queryObject);
  if (storage.ProbedFileType != kFileTypeDisk || storage.nameStatus != 0) {
    if (!LeaveProbeCall(storage.phase, kProbeInSecondCall)) AwaitTermination();
    return true;
  }
  if (!EnterThirdProbeCall(storage.phase)) AwaitTermination();
  CallQueryFolder(storage, calls.queryFile);
  if (!LeaveProbeCall(storage.phase, kProbeInThirdCall)) AwaitTermination();
  return true;
}

bool AnswerNameQuestion(ProbeStorage& storage, const ProbeCalls& calls) {
  if (!EnterProbeCall(storage.phase)) return false;
  CallQueryName(storage, calls.queryObject);
  if (!LeaveProbeCall(storage.phase)) AwaitTermination();
  return true;
}

}  // namespace lurvik
