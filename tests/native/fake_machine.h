// A scripted machine behind InventorySystem for the native tests of the scan: processes,
// handles, objects with names, types in any letter case, refusals, hung queries, drives and
// device names, optional entry points, 32- and 64-bit reply layouts. It builds real reply
// byte buffers and records every tree insert, status text and progress position.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "inventory/inventory_system.h"

namespace lurvik {

// ----- Reply builders (also used directly by the record tests) -----

struct FakeType {
  std::string name;          // ASCII/Latin-1; widened to UTF-16
  uint32_t genericAll = 0x1F0FFF;
  int32_t maxLength = -1;    // maximum name length in bytes; -1: name bytes + 2
};
std::vector<uint8_t> BuildObjectTypesReply(const std::vector<FakeType>& types, RecordLayout layout, uint64_t base);

struct FakeEntry {
  uint32_t ownerPid = 0;
  uint32_t typeNumber = 0;
  uint64_t handleValue = 0;
  uint32_t grantedAccess = 0;
};
std::vector<uint8_t> BuildHandleListReply(const std::vector<FakeEntry>& entries, uint32_t infoClass, RecordLayout layout);

// Writes an object-name record (counted string header, then the characters and a wide zero)
// into `buffer`; returns the status a system would give (too small: info length mismatch).
uint32_t WriteObjectNameRecord(std::vector<uint8_t>& buffer, const std::u16string& name, RecordLayout layout,
                               uint64_t base);

std::u16string Widen(const std::string& text);

// ----- The scripted machine -----

constexpr int kHangs = -1;  // a probe that blocks until the test releases it

struct FakeProcess {
  std::string imagePath;   // device form, answered by GetProcessImageFileNameA
  std::string modulePath;  // drive form, answered by GetModuleFileNameExA
  bool openable = true;
  std::set<uint32_t> refusedAccess;  // OpenProcess accesses that fail
};

enum class ObjectKind { Process, Thread, Token, File, Named };

struct FakeObject {
  ObjectKind kind = ObjectKind::Named;
  uint32_t processId = 0;        // Process: its id; Thread: the owning process
  int64_t processIdAnswer = -1;  // Process: what GetProcessId says; -1: processId
  uint32_t threadId = 0;
  std::string userName;          // Token: "" means the lookup fails
  int32_t fileType = 0;          // File: GetFileType's answer
  std::u16string name;           // object name; "" for an unnamed object
  uint32_t nameStatus = 0;       // status of the name query
  int fileTypePolls = 0;         // polls for which the probe still runs, or kHangs
  int namePolls = 0;
  std::vector<uint32_t> duplicationErrors;  // error of attempt 1, 2, 3 (0 or missing: success)
};

class FakeMachine : public InventorySystem {
 public:
  FakeMachine();
  ~FakeMachine() override;

  // Script.
  RecordLayout layout = RecordLayout::Bits32;
  int32_t osVersionCode = 65;
  uint32_t ownPid = 1000;
  std::vector<FakeType> types;
  std::optional<std::vector<uint8_t>> typesReplyOverride;
  uint32_t typesStatus = 0;
  std::vector<FakeType> typeGrowth;  // added to the list after each of the first typeGrowthQueries type queries
  int typeGrowthQueries = 0;
  std::set<uint8_t> leadBytes;       // lead bytes of the ANSI code page; none: single-byte
  std::vector<FakeEntry> handles;  // the system-wide list in order, without the own live handles
  std::optional<std::vector<uint8_t>> handleListOverride;
  bool extendedListRefused = false;
  uint32_t handleListStatus = 0;
  uint32_t ownProcessTypeNumber = 0;  // type number of own process handles in a snapshot; 0: not listed
  std::map<uint32_t, FakeProcess> processes;
  std::map<std::pair<uint32_t, uint64_t>, FakeObject> objects;  // (owner pid, handle value) -> object
  std::map<std::string, std::string> drives;                   // "C:" -> "\Device\HarddiskVolume2"
  std::set<std::string> folders;
  std::set<EntryPoint> missingEntryPoints;
  bool refuseTreeInserts = false;
  bool failProbeStarts = false;
  bool quit = false;

  // Convenience: adds a handle entry and its object.
  void AddHandle(uint32_t pid, uint32_t typeNumber, uint64_t value, uint32_t access, FakeObject object = FakeObject());

  // Records.
  struct TreeNode {
    TreeItem item;
    std::string text;
    TreeItem parent;
    int32_t image;
    int32_t selectedImage;
  };
  std::vector<TreeNode> tree;
  std::vector<std::string> statusTexts;
  std::vector<int32_t> progress;
  std::vector<std::pair<uint32_t, uint32_t>> openCalls;  // (access, pid)
  std::vector<uint32_t> duplicateAccesses;
  std::vector<uint32_t> queriedClasses;
  std::vector<size_t> queriedSizes;
  std::vector<size_t> typeQuerySizes;
  int pauses = 0, sleeps = 0, kills = 0, debugPrivilegeCalls = 0, probesStarted = 0, badCloses = 0;
  std::vector<std::weak_ptr<ProbeStorage>> probeStorages;

  // The tree as indented lines "text [image]", two blanks per level.
  std::string TreeText() const;
  size_t OpenHandleCount() const { return openHandles_.size(); }
  // Lets every hung probe go on; each then writes into its storage and ends.
  void ReleaseHungProbes();
  void JoinProbeThreads();

  // InventorySystem.
  RecordLayout Layout() const override { return layout; }
  int32_t OsVersionCode() override { return osVersionCode; }
  bool QuitRequested() override { return quit; }
  NativeReply QueryObjectTypes(std::vector<uint8_t>& buffer) override;
  NativeReply QuerySystemInformation(uint32_t infoClass, std::vector<uint8_t>& buffer) override;
  std::string WideToAnsi(const char16_t* characters, size_t count, size_t maxBytes) override;
  uint32_t CurrentProcessId() override { return ownPid; }
  SysHandle OpenProcess(uint32_t access, uint32_t processId) override;
  void CloseHandle(SysHandle handle) override;
  DuplicateResult DuplicateHandle(SysHandle ownerProcess, uint64_t handleValue, uint32_t access) override;
  bool EnableDebugPrivilege() override { ++debugPrivilegeCalls; return true; }
  void Sleep(uint32_t) override { ++sleeps; }
  bool HasEntryPoint(EntryPoint entry) override { return missingEntryPoints.count(entry) == 0; }
  uint32_t GetProcessImageFileNameA(SysHandle process, std::string& text, uint32_t size) override;
  uint32_t GetModuleFileNameExA(SysHandle process, std::string& text, uint32_t size) override;
  uint32_t GetProcessId(SysHandle process) override;
  uint32_t GetThreadId(SysHandle thread) override;
  uint32_t GetProcessIdOfThread(SysHandle thread) override;
  bool LookupTokenUserName(SysHandle token, std::string& accountName) override;
  std::string QueryDosDevice(const std::string& driveName) override;
  bool PathIsDirectory(const std::string& path) override { return folders.count(path) != 0; }
  std::string PathStripPath(const std::string& path) override;
  bool IsDBCSLeadByte(uint8_t byte) override { return leadBytes.count(byte) != 0; }
  int32_t StartProbe(ProbeKind kind, std::shared_ptr<ProbeStorage> storage) override;
  bool IsWorkerRunning(int32_t worker) override;
  void KillWorker(int32_t worker) override;
  void PauseMilliseconds(uint32_t) override { ++pauses; }
  TreeItem InsertTreeItem(const std::string& text, TreeItem parent, int32_t image, int32_t selectedImage) override;
  void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
  void SetProgressPosition(int32_t position) override { progress.push_back(position); }

  uint64_t TypesBase() const;
  uint64_t NameBase() const;

 private:
  struct OpenHandle {
    bool isProcess;              // a process opened by OpenProcess
    uint32_t processId;          // for process handles
    const FakeObject* object;    // for duplicates
  };
  struct Probe {
    ProbeKind kind;
    std::shared_ptr<ProbeStorage> storage;  // pending probes only
    const FakeObject* object;
    int pollsLeft;
    bool hung;
    std::shared_ptr<std::atomic<bool>> ended;
  };

  const FakeObject* ObjectOf(SysHandle handle) const;
  int64_t ProcessIdOf(SysHandle handle) const;
  void CompleteProbe(Probe& probe);

  std::map<SysHandle, OpenHandle> openHandles_;
  SysHandle nextHandle_ = 0x100;
  TreeItem nextItem_;
  std::map<int32_t, Probe> probes_;
  int32_t nextWorker_ = 1;
  std::pair<uint32_t, uint64_t> lastDuplicate_{0, ~0ull};
  int duplicateAttempt_ = 0;
  bool lastDuplicateFailed_ = false;

  std::mutex gateMutex_;
  std::condition_variable gate_;
  bool released_ = false;
  std::vector<std::thread> hungThreads_;
};

}  // namespace lurvik
