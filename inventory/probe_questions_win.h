// The questions the probe worker answers, on a thread that the scan may kill inside their
// system calls: the file question (the type, then for a disk file or a pipe the name, then for
// a named disk file whether it is a folder) and the name question. They make their calls through ProbeCalls, so that tests can put in calls that
// hang; they allocate nothing, take no lock, touch no runtime and write only into the
// question's storage, which the system layer keeps alive until their thread has ended.
#pragma once
#include <windows.h>

#include "inventory/inventory_system.h"

namespace lurvik {

using FileTypeCall = DWORD(WINAPI*)(HANDLE);                                  // GetFileType
using QueryObjectCall = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);  // ZwQueryObject
// NtQueryInformationFile: handle, status block, record, record size, information class.
using QueryFileCall = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, ULONG);

struct ProbeCalls {
  FileTypeCall fileType;
  QueryObjectCall queryObject;  // null when ntdll lacks it: the name's status is then "not implemented"
  QueryFileCall queryFile;      // null when ntdll lacks it: whether it is a folder is then not known
};

// The type of the file in storage.handle into ProbedFileType; for a disk file or a pipe, its
// name record into NameQueryBuffer with nameStatus and nameReply; for a disk file whose name
// was read, whether the object is a folder into ProbedFolder; marking the phases.
// False when the question was given up before its first call (then no call is made).
bool AnswerFileQuestion(ProbeStorage& storage, const ProbeCalls& calls);
// The name record alone, marking the phases of one call; false as above.
bool AnswerNameQuestion(ProbeStorage& storage, const ProbeCalls& calls);

}  // namespace lurvik
