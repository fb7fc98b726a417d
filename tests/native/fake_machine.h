// A scripted machine behind InventorySystem for the native tests of the scan. It lays its
// replies out with byte offsets of its own and records tree inserts, status texts, progress
// positions and the calls the tests check.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "inventory/inventory_system.h"
#include "inventory/tree_output.h"
#include "toolkit/tree_insertion.h"
#include "toolkit/tree_model.h"

namespace lurvik {

// The name in Latin-1, widened to UTF-16; the name area in bytes, -1: the name's bytes + 2.
struct FakeType { std::string name; uint32_t genericAll = 0x1F0FFF; int32_t maxLength = -1; };
struct FakeEntry { uint32_t ownerPid = 0, typeNumber = 0; uint64_t handleValue = 0; uint32_t grantedAccess = 0; };
std::vector<uint8_t> BuildObjectTypesReply(const std::vector<FakeType>& types, RecordLayout layout, uint64_t base);
std::vector<uint8_t> BuildHandleListReply(const std::vector<FakeEntry>& entries, uint32_t infoClass, RecordLayout layout);
std::u16string Widen(const std::string& text);
void Put(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width);  // little-endian, grows

constexpr int kHangs = -1;  // a probe phase that never ends

// The image in device form (GetProcessImageFileNameW) and in drive form (GetModuleFileNameExW),
// in UTF-8.
// Its creation time as GetProcessTimes gives it (0: the call fails), and the time the process
// list gives (none: `created`; 0: not listed).
struct FakeProcess {
  std::string imagePath, modulePath;
  bool openable = true;
  std::set<uint32_t> refusedAccess;
  uint64_t created = 1;
  std::optional<uint64_t> listed;
};

// Any object: each question answers from its own field, whatever the type.
struct FakeObject {
  uint32_t pid = 0;  // GetProcessId, GetProcessIdOfThread; the image of a process handle
  uint32_t tid = 0;
  std::string user;  // "": the lookup fails
  int32_t fileType = 0;
  bool folder = false;  // the answer of a disk file's third question
  std::u16string name;
  uint32_t nameStatus = 0;
  // Pauses of the probe worker: before it takes the question, in each call, and after the
  // call before it can take the next one; kHangs: for ever.
  int probeStartPauses = 0, fileTypePolls = 0, namePolls = 0, folderPolls = 0, probeEndPauses = 0;
  std::vector<uint32_t> duplicationErrors;  // of the attempts in turn; used up
};

class FakeMachine : public InventorySystem {
 public:
  RecordLayout layout = RecordLayout::Bits32;
  int32_t osVersionCode = 65;
  uint32_t ownPid = 1000;
  std::vector<FakeType> types;
  std::optional<std::vector<uint8_t>> typesReply, handleListReply;  // replace the built replies
  uint32_t typesStatus = 0, handleListStatus = 0;
  bool processListRefused = false;
  bool extendedListRefused = false, refuseTreeInserts = false, failProbeStarts = false, quit = false;
  std::vector<FakeEntry> handles;     // the system-wide list without the scan's own handles
  uint32_t ownProcessTypeNumber = 0;  // type number of the scan's own process handles; 0: not listed
  std::vector<FakeType> typeGrowth;  // added to the list after each of the first typeGrowthQueries type queries
  int typeGrowthQueries = 0;
  std::set<uint8_t> leadBytes;       // lead bytes of the ANSI code page; none: single-byte
  std::map<uint32_t, FakeProcess> processes;
  std::map<std::pair<uint32_t, uint64_t>, FakeObject> objects;  // (owner pid, handle value)
  std::map<std::string, std::string> drives;
  std::set<EntryPoint> missingEntryPoints;

  void AddHandle(uint32_t pid, uint32_t typeNumber, uint64_t value, uint32_t access, FakeObject object = {}) {
    handles.push_back({pid, typeNumber, value, access});
    objects[{pid, value}] = std::move(object);
  }
  uint64_t Base(uint64_t low) const { return layout == RecordLayout::Bits64 ? 0x1F200000000ull + low : low; }

  // Tree items as the fake control hands them out (0: refused; a child of 0 lands at the root).
  using TreeItem = uint64_t;
  struct TreeNode { TreeItem item, parent; std::string line; size_t statusTextsBefore; };
  std::vector<TreeNode> tree;              // in the order of insertion
  std::vector<size_t> batchSizes;          // nodes of each SendTreeNodes, in turn
  std::vector<uint32_t> batchTimes;        // the clock at each SendTreeNodes
  TreeModel kept;                          // fed with every batch and inserted from, as the window's model is
  TreeInsertion keptInsertion;
  uint32_t clock = 0;                      // milliseconds: each probe pause and Sleep moves it on
  std::vector<std::string> statusTexts;
  std::vector<int32_t> progress;
  std::vector<std::pair<uint32_t, uint32_t>> openCalls;  // (access, pid)
  std::map<uint32_t, int> unheldOpens;  // by access: opens of an id to which no handle was open
  std::ptrdiff_t mostCopiesOpen = 0;    // duplicated handles open at one time, at most
  std::vector<uint32_t> duplicateAccesses, queriedClasses;
  std::vector<size_t> queriedSizes, typeQuerySizes;
  int pauses = 0, sleeps = 0, kills = 0, questionsAsked = 0, tripsAsked = 0, workersStarted = 0, workersEnded = 0, badCloses = 0,
      debugPrivilegeCalls = 0, directQuestions = 0, dosDeviceQueries = 0, creationTimeQueries = 0;
  std::map<SysHandle, std::pair<uint32_t, FakeObject*>> open;  // process id, or the duplicated object

  // Indented lines "text [image]", two blanks per level.
  std::string TreeText() const;
  std::string KeptTreeText() const;  // the same form, from the model's placed nodes

  RecordLayout Layout() const override { return layout; }
  int32_t OsVersionCode() override { return osVersionCode; }
  bool QuitRequested() override { return quit; }
  uint32_t TickMilliseconds() override { return clock; }
  NativeReply QueryObjectTypes(std::vector<uint8_t>& buffer) override;
  NativeReply QuerySystemInformation(uint32_t infoClass, std::vector<uint8_t>& buffer) override;
  // A Latin-1 code page: characters from U+0100 on are lacking.
  std::string WideToAnsi(const char16_t* characters, size_t count, size_t maxBytes) override;
  std::u16string UpperCaseWide(const std::u16string& text) override;
  uint32_t CurrentProcessId() override { return ownPid; }
  SysHandle OpenProcess(uint32_t access, uint32_t processId) override;
  void CloseHandle(SysHandle handle) override { badCloses += open.erase(handle) == 0; }
  DuplicateResult DuplicateHandle(SysHandle ownerProcess, uint64_t handleValue, uint32_t access) override;
  bool EnableDebugPrivilege() override { return ++debugPrivilegeCalls; }
  void Sleep(uint32_t milliseconds) override { ++sleeps, clock += milliseconds; }
  bool ProcessCreationTime(SysHandle process, uint64_t& time) override;
  bool HasEntryPoint(EntryPoint entry) override { return missingEntryPoints.count(entry) == 0; }
  uint32_t GetProcessImageFileNameW(SysHandle process, std::u16string& text, uint32_t size) override {
    return PathAnswer(process, &FakeProcess::imagePath, text, size);
  }
  uint32_t GetModuleFileNameExW(SysHandle process, std::u16string& text, uint32_t size) override {
    return PathAnswer(process, &FakeProcess::modulePath, text, size);
  }
  uint32_t GetProcessId(SysHandle process) override { return Object(process).pid; }
  uint32_t GetThreadId(SysHandle thread) override { return Object(thread).tid; }
  uint32_t GetProcessIdOfThread(SysHandle thread) override { return Object(thread).pid; }
  bool LookupTokenUserName(SysHandle token, std::string& accountName) override;
  std::string QueryDosDevice(const std::string& driveName) override { return ++dosDeviceQueries, drives[driveName]; }
  std::string PathStripPath(const std::string& path) override;
  bool IsDBCSLeadByte(uint8_t byte) override { return leadBytes.count(byte) != 0; }
  int32_t StartProbeWorker() override;
  void AskProbe(int32_t worker, ProbeKind kind, ProbeTrip trip) override;
  bool AwaitProbe(int32_t worker, uint32_t milliseconds) override;
  void KillWorker(int32_t worker) override { kills += static_cast<int>(workers_.erase(worker)); }
  void EndProbeWorker(int32_t worker) override { workersEnded += static_cast<int>(workers_.erase(worker)); }
  void AskDirectly(ProbeKind kind, ProbeStorage& storage) override;
  void SendTreeNodes(const TreeNodeBatch& batch) override;
  void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
  void SetProgressPosition(int32_t position) override { progress.push_back(position); }

 private:
  // A probe worker and the questions left of its trip (the first is the one it is at); the
  // pauses left before it takes that question (the end of the last one, then its start) and
  // in its call.
  struct Worker { ProbeKind kind; std::deque<std::shared_ptr<ProbeStorage>> trip; FakeObject object; int backLeft, startLeft, callLeft; };
  void TakeNextQuestion(Worker& worker);
  const FakeObject& Object(SysHandle handle);  // the duplicated object, or one that answers nothing
  uint32_t PathAnswer(SysHandle process, std::string FakeProcess::*path, std::u16string& text, uint32_t size);
  std::vector<uint8_t> ProcessListReply();
  void AdvanceWorker(Worker& worker);
  void AnswerName(const FakeObject& object, ProbeStorage& storage);

  SysHandle nextHandle_ = 0x100;
  TreeItem nextItem_ = 0x7F0000;
  uintptr_t keptItems_ = 0;
  std::vector<TreeItem> itemsByNumber_{0};  // node number -> item; number 0 is the root
  std::map<int32_t, Worker> workers_;
  int32_t nextWorker_ = 1;
};

}  // namespace lurvik
