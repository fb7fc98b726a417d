// The narrow interface between the inventory and the operating system: exactly the questions
// the scan asks of the machine and the three outputs it sends (tree nodes, status text,
// progress). The Windows implementation is thin; the native tests drive the same scan logic
// through a scripted fake machine.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "inventory/probe_phase.h"
#include "inventory/tree_output.h"

// <windows.h> and <shlwapi.h> define these names as macros for their ANSI and wide variants;
// in this interface they name its own methods.
#undef QueryDosDevice
#undef PathStripPath

namespace lurvik {

// An opaque system handle value (a HANDLE on Windows); 0 means none.
using SysHandle = uint64_t;

// The pointer width of the records the native queries answer with.
enum class RecordLayout { Bits32, Bits64 };

// What one native query left behind: its status and the length it reported. `baseAddress`
// is the address the system saw for the start of the reply buffer, so that the addresses
// inside the records can be turned into offsets of the buffer (and checked against it).
struct NativeReply {
  uint32_t status = 0;
  uint32_t returnedLength = 0;
  uint64_t baseAddress = 0;
};

constexpr uint32_t STATUS_SUCCESS_CODE = 0;
constexpr uint32_t STATUS_INVALID_INFO_CLASS_CODE = 0xC0000003u;
constexpr uint32_t STATUS_INFO_LENGTH_MISMATCH_CODE = 0xC0000004u;  // buffer too small
constexpr uint32_t SYSTEM_HANDLE_INFORMATION_CLASS = 16;
constexpr uint32_t SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS = 64;

struct DuplicateResult {
  bool ok = false;
  uint32_t lastError = 0;  // GetLastError after a failure; 5 is ERROR_ACCESS_DENIED
  SysHandle handle = 0;    // the copy in the own process on success
};

// Optional entry points the start-up looks up at run time; each may be missing.
enum class EntryPoint { GetModuleFileNameExW, GetProcessImageFileNameW, GetProcessId, GetThreadId, GetProcessIdOfThread };

// Storage of one probe question. It is owned jointly by the scan and the system layer: the
// storage of a question whose worker was killed or given up is kept alive by the system
// layer until the worker's thread has really ended, so a terminated thread still inside its
// system call never writes into freed memory.
struct ProbeStorage {
  SysHandle handle = 0;
  ProbePhaseCell phase{kProbeStarting};       // entered and left the call, or given up by the scan
  int32_t ProbedFileType = 0;                 // file question: GetFileType's answer
  int32_t ProbedFolder = -1;                  // disk file: 1 a folder, 0 not, -1 not known
  uint32_t nameStatus = 0xFFFFFFFFu;          // name: status of the object-name query
  NativeReply nameReply;                      // name: returned length and base address
  std::vector<uint8_t> NameQueryBuffer;       // name: the object-name record, 10004 bytes
};

// The questions of one trip to the probe worker, answered in their order; at most
// kMaxTripQuestions of them.
using ProbeTrip = std::vector<std::shared_ptr<ProbeStorage>>;
constexpr size_t kMaxTripQuestions = 64;

// File: the file's type (first call), only for a disk file or a pipe its name (second call),
// and only for a named disk file whether the object is a folder (third call), in one trip to
// the worker. ObjectName: the name alone.
enum class ProbeKind { File, ObjectName };

// The file types whose name the file question asks: FILE_TYPE_DISK (1) and FILE_TYPE_PIPE (3).
constexpr bool FileTypeHasName(int32_t fileType) { return fileType == 1 || fileType == 3; }

class InventorySystem {
 public:
  virtual ~InventorySystem() = default;

  virtual RecordLayout Layout() const = 0;
  virtual int32_t OsVersionCode() = 0;
  virtual bool QuitRequested() = 0;
  // A millisecond counter that wraps; only differences are used.
  virtual uint32_t TickMilliseconds() = 0;

  // Native queries. The buffer keeps its size; the reply is written into it.
  virtual NativeReply QueryObjectTypes(std::vector<uint8_t>& buffer) = 0;  // ZwQueryObject(0, class 3)
  virtual NativeReply QuerySystemInformation(uint32_t infoClass, std::vector<uint8_t>& buffer) = 0;
  // UTF-16LE characters to ANSI (WideCharToMultiByte, CP_ACP), at most maxBytes bytes, without
  // best fit: a character the code page lacks becomes its default character "?", never a
  // look-alike letter.
  virtual std::string WideToAnsi(const char16_t* characters, size_t count, size_t maxBytes) = 0;
  // Upper-cases UTF-16 text by the system's rules (CharUpperBuffW).
  virtual std::u16string UpperCaseWide(const std::u16string& text) = 0;

  // Processes and handles.
  virtual uint32_t CurrentProcessId() = 0;
  virtual SysHandle OpenProcess(uint32_t access, uint32_t processId) = 0;
  virtual void CloseHandle(SysHandle handle) = 0;
  virtual DuplicateResult DuplicateHandle(SysHandle ownerProcess, uint64_t handleValue, uint32_t access) = 0;
  virtual bool EnableDebugPrivilege() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  // A process's creation time in 100 ns units since 1601 (GetProcessTimes); false when it
  // cannot be read.
  virtual bool ProcessCreationTime(SysHandle process, uint64_t& time) = 0;

  // Per-type questions. The image-name calls return the count of characters written (0 on
  // failure) and put the text, in its true characters, into `text`; the caller checks
  // HasEntryPoint first.
  virtual bool HasEntryPoint(EntryPoint entry) = 0;
  virtual uint32_t GetProcessImageFileNameW(SysHandle process, std::u16string& text, uint32_t size) = 0;
  virtual uint32_t GetModuleFileNameExW(SysHandle process, std::u16string& text, uint32_t size) = 0;
  virtual uint32_t GetProcessId(SysHandle process) = 0;
  virtual uint32_t GetThreadId(SysHandle thread) = 0;
  virtual uint32_t GetProcessIdOfThread(SysHandle thread) = 0;
  // The account name of the token's user (GetTokenInformation TokenUser, LookupAccountSidW),
  // as ANSI text without best fit; false when either step fails.
  virtual bool LookupTokenUserName(SysHandle token, std::string& accountName) = 0;
  // The first device name of a drive such as "C:", or "" when the letter has no drive.
  virtual std::string QueryDosDevice(const std::string& driveName) = 0;
  // The last component of a path, as PathStripPathA leaves it. Only the system knows the
  // double-byte characters of its ANSI code page, whose trail bytes may equal "\".
  virtual std::string PathStripPath(const std::string& path) = 0;
  // Whether the byte begins a double-byte character of the ANSI code page (IsDBCSLeadByte).
  virtual bool IsDBCSLeadByte(uint8_t byte) = 0;

  // Probe workers: one thread at a time answers the hang-prone questions of a scan in turn.
  // StartProbeWorker returns a worker number, 0 when no thread could be started. AskProbe
  // hands the worker a trip of questions of one kind (at most kMaxTripQuestions), which it
  // answers one after another; it stops at a question the scan has given up before it began
  // it. The system layer keeps the questions' storage for as long as the worker may touch it.
  // AwaitProbe pauses at most `milliseconds` and returns early once the worker is back from
  // its trip; false when the worker's thread has ended (or the number names no worker).
  // KillWorker terminates a worker that is inside its call; EndProbeWorker tells a worker to
  // end once it is back from its trip. Neither waits.
  virtual int32_t StartProbeWorker() = 0;
  virtual void AskProbe(int32_t worker, ProbeKind kind, ProbeTrip trip) = 0;
  virtual bool AwaitProbe(int32_t worker, uint32_t milliseconds) = 0;
  virtual void KillWorker(int32_t worker) = 0;
  virtual void EndProbeWorker(int32_t worker) = 0;
  // Asks a question on the calling thread, for objects whose answer never waits.
  virtual void AskDirectly(ProbeKind kind, ProbeStorage& storage) = 0;

  // Outputs, sent to the main thread's controls (nothing happens while they do not exist).
  // SendTreeNodes returns once the main thread holds the batch's nodes and, for a batch that
  // finishes, has inserted every node so far: the tree then is the one of appending each node
  // in number order as the last child of the node its parent number names.
  virtual void SendTreeNodes(const TreeNodeBatch& batch) = 0;
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetProgressPosition(int32_t position) = 0;
};

}  // namespace lurvik
