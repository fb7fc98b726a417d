// WindowsSystem: the inventory's questions asked of Windows. Each method is one system call
// or a short fixed sequence of them; the scan logic that interprets the answers is portable.
#include "inventory/windows_system_win.h"

#include <commctrl.h>
#include <shlwapi.h>
#undef PathStripPath

#include <climits>

#include "inventory/probe_questions_win.h"
#include "shell/app_state.h"
#include "shell/optional_entry_points_win.h"
#include "shell/privilege_win.h"
#include "toolkit/system_info.h"
#include "toolkit/text.h"
#include "toolkit/timer_resolution_win.h"
#include "toolkit/wide_text_win.h"
#include "toolkit/workers_win.h"

namespace lurvik {

namespace {

using QueryObjectFunction = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using QuerySystemInformationFunction = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

// Looked up in ntdll once, before the first probe starts; probes only read them.
QueryObjectFunction ZwQueryObjectAddress;
QuerySystemInformationFunction ZwQuerySystemInformationAddress;
QueryFileCall NtQueryInformationFileAddress;

constexpr uint32_t kStatusNotImplemented = 0xC0000002u;
constexpr ULONG kAllTypesClass = 3;
constexpr size_t kImageNameBufferSize = 2502;
constexpr size_t kDeviceNameBufferSize = 2002;
constexpr DWORD kAccountFieldLength = 2500;

// Written once: a probe killed in an earlier scan may still read them.
void LookUpNativeEntryPoints() {
  if (ZwQueryObjectAddress != nullptr && ZwQuerySystemInformationAddress != nullptr && NtQueryInformationFileAddress != nullptr)
    return;
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr) return;
  ZwQueryObjectAddress =
      reinterpret_cast<QueryObjectFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "ZwQueryObject")));
  ZwQuerySystemInformationAddress = reinterpret_cast<QuerySystemInformationFunction>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "ZwQuerySystemInformation")));
  NtQueryInformationFileAddress =
      reinterpret_cast<QueryFileCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")));
}

HANDLE AsHandle(SysHandle handle) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)); }
SysHandle AsSysHandle(HANDLE handle) { return static_cast<SysHandle>(reinterpret_cast<uintptr_t>(handle)); }

ULONG BufferSize(const std::vector<uint8_t>& buffer) {
  return buffer.size() > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(buffer.size());
}

// The probe worker's question procedures with the real system calls (see
// probe_questions_win.cpp for their phases and where a kill can land).
DWORD WINAPI FileProbe(void* parameter) {
  return AnswerFileQuestion(*static_cast<ProbeStorage*>(parameter),
                            {GetFileType, ZwQueryObjectAddress, NtQueryInformationFileAddress})
             ? 1
             : 0;
}

DWORD WINAPI ObjectNameProbe(void* parameter) {
  return AnswerNameQuestion(*static_cast<ProbeStorage*>(parameter), {GetFileType, ZwQueryObjectAddress, nullptr}) ? 1 : 0;
}

void* EntryPointAddress(EntryPoint entry) {
  switch (entry) {
    case EntryPoint::GetModuleFileNameExW: return GetModuleFileNameExW_Address;
    case EntryPoint::GetProcessImageFileNameW: return GetProcessImageFileNameW_Address;
    case EntryPoint::GetProcessId: return GetProcessId_Address;
    case EntryPoint::GetThreadId: return GetThreadId_Address;
    case EntryPoint::GetProcessIdOfThread: return GetProcessIdOfThread_Address;
  }
  return nullptr;
}

uint32_t CallIdEntryPoint(EntryPoint entry, SysHandle handle) {
  void* address = EntryPointAddress(entry);
  if (address == nullptr) return 0;
  return CallEntryPoint(address, static_cast<uintptr_t>(handle));
}

// A name record's pointers are turned into offsets against the address its buffer had.
void NoteRecordAddress(ProbeStorage& storage) {
  storage.nameReply.baseAddress = reinterpret_cast<uintptr_t>(storage.NameQueryBuffer.data());
}

}  // namespace

ProbeProcedures RealProbeProcedures() { return {FileProbe, ObjectNameProbe}; }

WindowsSystem::WindowsSystem(ProbeProcedures procedures) : probes_(procedures) { LookUpNativeEntryPoints(); }

RecordLayout WindowsSystem::Layout() const {
  return sizeof(void*) == 8 ? RecordLayout::Bits64 : RecordLayout::Bits32;
}

int32_t WindowsSystem::OsVersionCode() { return lurvik::OsVersionCode(); }

bool WindowsSystem::QuitRequested() { return lurvik::QuitRequested.load() != 0; }

uint32_t WindowsSystem::TickMilliseconds() { return MillisecondClock(); }

// One native query into the buffer: the status (not-implemented when the entry point is
// missing), the length the system reported and the buffer's address as the system saw it.
template <typename Query>
NativeReply AskNative(bool available, std::vector<uint8_t>& buffer, Query query) {
  NativeReply reply;
  reply.baseAddress = reinterpret_cast<uintptr_t>(buffer.data());
  ULONG length = 0;
  reply.status = available ? static_cast<uint32_t>(query(buffer.empty() ? nullptr : buffer.data(), BufferSize(buffer), &length))
                           : kStatusNotImplemented;
  reply.returnedLength = length;
  return reply;
}

NativeReply WindowsSystem::QueryObjectTypes(std::vector<uint8_t>& buffer) {
  return AskNative(ZwQueryObjectAddress != nullptr, buffer, [](void* data, ULONG size, ULONG* length) {
    return ZwQueryObjectAddress(nullptr, kAllTypesClass, data, size, length);
  });
}

NativeReply WindowsSystem::QuerySystemInformation(uint32_t infoClass, std::vector<uint8_t>& buffer) {
  return AskNative(ZwQuerySystemInformationAddress != nullptr, buffer, [infoClass](void* data, ULONG size, ULONG* length) {
    return ZwQuerySystemInformationAddress(infoClass, data, size, length);
  });
}

std::string WindowsSystem::WideToAnsi(const char16_t* characters, size_t count, size_t maxBytes) {
  std::string text = AnsiFromWide(reinterpret_cast<const wchar_t*>(characters), count, maxBytes);
  return text.substr(0, text.find('\0'));
}

std::u16string WindowsSystem::UpperCaseWide(const std::u16string& text) {
  std::wstring upper(text.begin(), text.end());
  if (!upper.empty() && upper.size() <= MAXDWORD) CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
  return std::u16string(upper.begin(), upper.end());
}

uint32_t WindowsSystem::CurrentProcessId() { return GetCurrentProcessId(); }

SysHandle WindowsSystem::OpenProcess(uint32_t access, uint32_t processId) {
  return AsSysHandle(::OpenProcess(access, FALSE, processId));
}

void WindowsSystem::CloseHandle(SysHandle handle) {
  if (handle != 0) ::CloseHandle(AsHandle(handle));
}

DuplicateResult WindowsSystem::DuplicateHandle(SysHandle ownerProcess, uint64_t handleValue, uint32_t access) {
  DuplicateResult result;
  HANDLE copy = nullptr;
  if (::DuplicateHandle(AsHandle(ownerProcess), AsHandle(handleValue), GetCurrentProcess(), &copy, access, FALSE, 0)) {
    result.ok = true;
    result.handle = AsSysHandle(copy);
  } else {
    result.lastError = GetLastError();
  }
  return result;
}

bool WindowsSystem::EnableDebugPrivilege() {
  return EnableProcessPrivilege(GetCurrentProcessId(), "SeDebugPrivilege", SE_PRIVILEGE_ENABLED) != 0;
}

void WindowsSystem::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

namespace {
uint64_t FileTimeValue(const FILETIME& time) { return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime; }
}  // namespace

bool WindowsSystem::ProcessCreationTime(SysHandle process, uint64_t& time) {
  FILETIME created = {}, ended = {}, kernel = {}, user = {};
  if (!GetProcessTimes(AsHandle(process), &created, &ended, &kernel, &user)) return false;
  time = FileTimeValue(created);
  return true;
}

bool WindowsSystem::HasEntryPoint(EntryPoint entry) { return EntryPointAddress(entry) != nullptr; }

namespace {

// The characters before the first zero of a fixed field of wide characters.
std::u16string WideFieldText(const wchar_t* field, size_t n) {
  size_t length = 0;
  while (length < n && field[length] != 0) ++length;
  return std::u16string(field, field + length);
}

}  // namespace

uint32_t WindowsSystem::GetProcessImageFileNameW(SysHandle process, std::u16string& text, uint32_t size) {
  text.clear();
  void* address = EntryPointAddress(EntryPoint::GetProcessImageFileNameW);
  if (address == nullptr) return 0;
  wchar_t field[kImageNameBufferSize] = {};
  const uint32_t offered = size < kImageNameBufferSize - 2 ? size : kImageNameBufferSize - 2;
  const uint32_t written = CallEntryPoint(address, static_cast<uintptr_t>(process),
                                          reinterpret_cast<uintptr_t>(field), offered);
  text = WideFieldText(field, kImageNameBufferSize);
  return written;
}

uint32_t WindowsSystem::GetModuleFileNameExW(SysHandle process, std::u16string& text, uint32_t size) {
  text.clear();
  void* address = EntryPointAddress(EntryPoint::GetModuleFileNameExW);
  if (address == nullptr) return 0;
  wchar_t field[kImageNameBufferSize] = {};
  const uint32_t offered = size < kImageNameBufferSize - 2 ? size : kImageNameBufferSize - 2;
  const uint32_t written = CallEntryPoint(address, static_cast<uintptr_t>(process), uintptr_t{0},
                                          reinterpret_cast<uintptr_t>(field), offered);
  text = WideFieldText(field, kImageNameBufferSize);
  return written;
}

uint32_t WindowsSystem::GetProcessId(SysHandle process) { return CallIdEntryPoint(EntryPoint::GetProcessId, process); }

uint32_t WindowsSystem::GetThreadId(SysHandle thread) { return CallIdEntryPoint(EntryPoint::GetThreadId, thread); }

uint32_t WindowsSystem::GetProcessIdOfThread(SysHandle thread) {
  return CallIdEntryPoint(EntryPoint::GetProcessIdOfThread, thread);
}

bool WindowsSystem::LookupTokenUserName(SysHandle token, std::string& accountName) {
  accountName.clear();
  // Size probe with a 1-byte buffer, then the needed size plus 20.
  uint8_t probe[1] = {};
  DWORD needed = 0;
  GetTokenInformation(AsHandle(token), TokenUser, probe, 1, &needed);
  std::vector<uint8_t> user(static_cast<size_t>(needed) + 20, 0);
  const DWORD userSize = static_cast<DWORD>(user.size());
  needed = 0;
  if (!GetTokenInformation(AsHandle(token), TokenUser, user.data(), userSize, &needed)) return false;
  if (userSize < sizeof(void*)) return false;
  PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  wchar_t name[kImageNameBufferSize] = {};
  wchar_t domain[kImageNameBufferSize] = {};
  DWORD nameLength = kAccountFieldLength, domainLength = kAccountFieldLength;
  SID_NAME_USE kind;
  if (!LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &kind)) return false;
  const std::u16string wide = WideFieldText(name, kImageNameBufferSize);
  // Room for three bytes a character, the most any ANSI code page needs (UTF-8).
  accountName = WideToAnsi(wide.data(), wide.size(), 3 * wide.size() + 1);
  return true;
}

std::string WindowsSystem::QueryDosDevice(const std::string& driveName) {
  char target[kDeviceNameBufferSize] = {};
  ::QueryDosDeviceA(driveName.c_str(), target, kDeviceNameBufferSize - 2);
  return FixedFieldText(target, sizeof target);
}

std::string WindowsSystem::PathStripPath(const std::string& path) {
  std::vector<char> text(path.begin(), path.end());  // stripped in place
  text.push_back('\0');
  ::PathStripPathA(text.data());
  return text.data();
}

bool WindowsSystem::IsDBCSLeadByte(uint8_t byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

int32_t WindowsSystem::StartProbeWorker() { return probes_.Start(); }

void WindowsSystem::AskProbe(int32_t worker, ProbeKind kind, ProbeTrip trip) {
  // The record buffers come sized with the questions: the worker must not allocate.
  for (const auto& question : trip)
    if (question) NoteRecordAddress(*question);
  probes_.Ask(worker, kind, std::move(trip));
}

bool WindowsSystem::AwaitProbe(int32_t worker, uint32_t milliseconds) { return probes_.Await(worker, milliseconds); }

void WindowsSystem::KillWorker(int32_t worker) { probes_.Kill(worker); }

void WindowsSystem::EndProbeWorker(int32_t worker) { probes_.End(worker); }

// The same procedure as on the worker, on this thread. Nothing gives such a question up, so
// the procedure's phase marks always pass (it never waits to be terminated).
void WindowsSystem::AskDirectly(ProbeKind kind, ProbeStorage& storage) {
  NoteRecordAddress(storage);
  probes_.AskHere(kind, storage);
}

// One synchronous message for the whole batch; the main thread holds its nodes and, when it
// finishes a process, inserts them (see tree_receiver_win.cpp). The scan is blocked in the send
// while the main thread reads the batch and writes the answer, so neither is touched by both
// threads at once; the main thread allocates and frees nothing of ours.
//
// A finished process goes in in slices of about 30 ms, one per message: the scan sends again,
// with no nodes, until it is in. When the main thread has messages of its own waiting (input,
// painting, posted ones), the scan pauses before it sends again: a waiting sent message is
// served before them, so a send at once could take the main thread's next look at its queue,
// again and again. Otherwise it sends at once: a pause while the main thread has nothing to
// do leaves the CPU idle, and on these virtual machines an idle CPU is slow to wake up (a 1 ms
// pause after every slice made a scan of 70,000 handles about 10 % slower). So the scan goes on
// only once its earlier processes are in the tree: when the status bar names a process, the
// tree shows every process before it, and at most one process waits to be inserted.
void WindowsSystem::SendTreeNodes(const TreeNodeBatch& batch) {
  if (HandleTree == 0 || (batch.nodes.empty() && !batch.finishes)) return;
  const HWND tree = reinterpret_cast<HWND>(HandleTree);
  TreeNodeDelivery delivery{&batch};
  // A tree without the receiver (it could not be subclassed) does not take the delivery: then
  // the scan holds and inserts the nodes itself, in the same order, each insert a message of
  // its own across the threads.
  if (!SendTreeNodeDelivery(tree, delivery)) {
    HoldAndInsert(tree, fallbackModel_, fallbackInsertion_, batch, [] { return false; });
    return;
  }
  TreeNodeBatch more;
  more.firstNumber = batch.firstNumber + static_cast<NodeNumber>(batch.nodes.size());
  while (delivery.insertionLeft) {
    if (delivery.windowBusy) PauseMilliseconds(1);
    delivery = {&more};
    if (!SendTreeNodeDelivery(tree, delivery)) return;  // the window is gone
  }
}

void WindowsSystem::SetStatusText(const std::string& text) {
  StatusText = text;
  if (StatusBar == 0) return;
  HWND bar = reinterpret_cast<HWND>(StatusBar);
  SendMessageA(bar, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(StatusText.c_str()));
  SendMessageA(bar, SB_SETTIPTEXTA, 1, reinterpret_cast<LPARAM>(StatusText.c_str()));
}

void WindowsSystem::SetProgressPosition(int32_t position) {
  if (ProgressBar == 0) return;
  SendMessageA(reinterpret_cast<HWND>(ProgressBar), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

}  // namespace lurvik
