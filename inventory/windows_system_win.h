// The Windows side of the inventory: every question of InventorySystem answered by the real
// system call, thinly, plus the probe workers and the three outputs to the main window's
// controls. Built on the scan thread for the length of one scan.
#pragma once
#include <windows.h>
// The interface's method names, not the system's ANSI/wide macros of the same names.
#undef QueryDosDevice
#undef PathStripPath

#include "inventory/inventory_system.h"
#include "inventory/probe_worker_win.h"
#include "inventory/tree_receiver_win.h"

namespace lurvik {

ProbeProcedures RealProbeProcedures();

class WindowsSystem : public InventorySystem {
 public:
  explicit WindowsSystem(ProbeProcedures procedures = RealProbeProcedures());

  RecordLayout Layout() const override;
  int32_t OsVersionCode() override;
  bool QuitRequested() override;
  uint32_t TickMilliseconds() override;

  NativeReply QueryObjectTypes(std::vector<uint8_t>& buffer) override;
  NativeReply QuerySystemInformation(uint32_t infoClass, std::vector<uint8_t>& buffer) override;
  std::string WideToAnsi(const char16_t* characters, size_t count, size_t maxBytes) override;
  std::u16string UpperCaseWide(const std::u16string& text) override;

  uint32_t CurrentProcessId() override;
  SysHandle OpenProcess(uint32_t access, uint32_t processId) override;
  void CloseHandle(SysHandle handle) override;
  DuplicateResult DuplicateHandle(SysHandle ownerProcess, uint64_t handleValue, uint32_t access) override;
  bool EnableDebugPrivilege() override;
  void Sleep(uint32_t milliseconds) override;
  bool ProcessCreationTime(SysHandle process, uint64_t& time) override;

  bool HasEntryPoint(EntryPoint entry) override;
  uint32_t GetProcessImageFileNameW(SysHandle process, std::u16string& text, uint32_t size) override;
  uint32_t GetModuleFileNameExW(SysHandle process, std::u16string& text, uint32_t size) override;
  uint32_t GetProcessId(SysHandle process) override;
  uint32_t GetThreadId(SysHandle thread) override;
  uint32_t GetProcessIdOfThread(SysHandle thread) override;
  bool LookupTokenUserName(SysHandle token, std::string& accountName) override;
  std::string QueryDosDevice(const std::string& driveName) override;
  std::string PathStripPath(const std::string& path) override;
  bool IsDBCSLeadByte(uint8_t byte) override;

  int32_t StartProbeWorker() override;
  void AskProbe(int32_t worker, ProbeKind kind, ProbeTrip trip) override;
  bool AwaitProbe(int32_t worker, uint32_t milliseconds) override;
  void KillWorker(int32_t worker) override;
  void EndProbeWorker(int32_t worker) override;
  void AskDirectly(ProbeKind kind, ProbeStorage& storage) override;

  void SendTreeNodes(const TreeNodeBatch& batch) override;
  void SetStatusText(const std::string& text) override;
  void SetProgressPosition(int32_t position) override;

  // Retired probe workers whose storage is still held (their threads have not been seen to end).
  size_t TrackedProbeCount() const { return probes_.TrackedCount(); }

 private:
  // The nodes of a tree that does not take batches, held and inserted by the scan itself.
  TreeModel fallbackModel_;
  TreeInsertion fallbackInsertion_;
  ProbeWorkerThreads probes_;  // released last: ends the worker and waits for retired ones
};

}  // namespace lurvik
