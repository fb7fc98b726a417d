// The scripted fake machine: reply builders that lay records out exactly as the system does
// in both pointer widths, and a handle table of its own so that every open, duplicate and
// close of the scan can be checked (a leaked or twice-closed handle shows up in the counts).
#include "tests/native/fake_machine.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "inventory/native_records.h"

namespace lurvik {

namespace {

constexpr uint32_t kInfoLengthMismatch = 0xC0000004u;

void Put(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width) {
  if (bytes.size() < offset + width) bytes.resize(offset + width, 0);
  for (size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

size_t PointerSize(RecordLayout layout) { return layout == RecordLayout::Bits64 ? 8 : 4; }

// Answers a query the way the system does: the needed length always, the reply only when it fits.
NativeReply CopyReply(const std::vector<uint8_t>& reply, std::vector<uint8_t>& buffer, uint64_t base, uint32_t status) {
  NativeReply answer;
  answer.returnedLength = static_cast<uint32_t>(reply.size());
  answer.baseAddress = base;
  if (buffer.size() < reply.size()) {
    answer.status = kInfoLengthMismatch;
    return answer;
  }
  std::copy(reply.begin(), reply.end(), buffer.begin());
  answer.status = status;
  return answer;
}

}  // namespace

std::u16string Widen(const std::string& text) {
  std::u16string wide;
  for (char c : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return wide;
}

std::vector<uint8_t> BuildObjectTypesReply(const std::vector<FakeType>& types, RecordLayout layout, uint64_t base) {
  const TypeRecordLayout form = TypeRecordLayoutOf(layout);
  std::vector<uint8_t> bytes;
  Put(bytes, 0, types.size(), 4);
  size_t offset = form.firstRecord;
  for (const FakeType& type : types) {
    const std::u16string name = Widen(type.name);
    const size_t length = name.size() * 2;
    const size_t maxLength = type.maxLength < 0 ? length + 2 : static_cast<size_t>(type.maxLength);
    Put(bytes, offset, length, 2);
    Put(bytes, offset + 2, maxLength, 2);
    Put(bytes, offset + form.nameAddress, base + offset + form.fixedPart, PointerSize(layout));
    Put(bytes, offset + form.genericAll, type.genericAll, 4);
    for (size_t i = 0; i < name.size(); ++i) Put(bytes, offset + form.fixedPart + 2 * i, name[i], 2);
    const size_t rounded = (maxLength + form.nameAlignment - 1) / form.nameAlignment * form.nameAlignment;
    offset += form.fixedPart + rounded;
    if (bytes.size() < offset) bytes.resize(offset, 0);
  }
  return bytes;
}

std::vector<uint8_t> BuildHandleListReply(const std::vector<FakeEntry>& entries, uint32_t infoClass, RecordLayout layout) {
  const HandleListLayout form = HandleListLayoutOf(infoClass, layout);
  const size_t p = PointerSize(layout);
  std::vector<uint8_t> bytes(form.firstEntry + entries.size() * form.entrySize, 0);
  const bool extended = infoClass == SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS;
  Put(bytes, 0, entries.size(), extended ? p : 4);
  for (size_t i = 0; i < entries.size(); ++i) {
    const FakeEntry& e = entries[i];
    const size_t at = form.firstEntry + i * form.entrySize;
    if (extended) {
      Put(bytes, at, 0xFFFF0000CAFE0000ull & (p == 8 ? ~0ull : 0xFFFFFFFFull), p);  // object address
      Put(bytes, at + p, e.ownerPid, p);
      Put(bytes, at + 2 * p, e.handleValue, p);
      Put(bytes, at + 3 * p, e.grantedAccess, 4);
      Put(bytes, at + 3 * p + 4, 0xBEEF, 2);  // back-trace index
      Put(bytes, at + 3 * p + 6, e.typeNumber, 2);
    } else {
      Put(bytes, at, e.ownerPid & 0xFFFF, 2);
      Put(bytes, at + 2, 0xBEEF, 2);  // back-trace index in the upper half of the owner field
      Put(bytes, at + 4, e.typeNumber & 0xFF, 1);
      Put(bytes, at + 5, 0x02, 1);
      Put(bytes, at + 6, e.handleValue & 0xFFFF, 2);
      Put(bytes, at + 8, 0xCAFE0000u, p);
      Put(bytes, at + (p == 8 ? 16 : 12), e.grantedAccess, 4);
    }
  }
  return bytes;
}

uint32_t WriteObjectNameRecord(std::vector<uint8_t>& buffer, const std::u16string& name, RecordLayout layout,
                               uint64_t base) {
  const size_t header = 2 * PointerSize(layout);
  const size_t length = name.size() * 2;
  if (length + 2 > 0xFFFF || header + length + 2 > buffer.size()) return kInfoLengthMismatch;
  std::fill(buffer.begin(), buffer.end(), 0);
  Put(buffer, 0, length, 2);
  Put(buffer, 2, length + 2, 2);
  Put(buffer, PointerSize(layout), name.empty() ? 0 : base + header, PointerSize(layout));
  for (size_t i = 0; i < name.size(); ++i) Put(buffer, header + 2 * i, name[i], 2);
  return 0;
}

// ----- FakeMachine -----

FakeMachine::FakeMachine() : nextItem_(0x7F0000) {}

FakeMachine::~FakeMachine() {
  ReleaseHungProbes();
  JoinProbeThreads();
}

uint64_t FakeMachine::TypesBase() const { return layout == RecordLayout::Bits64 ? 0x000001F2A0B00000ull : 0x00B00000u; }
uint64_t FakeMachine::NameBase() const { return layout == RecordLayout::Bits64 ? 0x000001F2A0C00000ull : 0x00C00000u; }

void FakeMachine::AddHandle(uint32_t pid, uint32_t typeNumber, uint64_t value, uint32_t access, FakeObject object) {
  handles.push_back({pid, typeNumber, value, access});
  objects[{pid, value}] = std::move(object);
}

NativeReply FakeMachine::QueryObjectTypes(std::vector<uint8_t>& buffer) {
  lastDuplicate_ = {0, ~0ull};  // a new scan begins
  const std::vector<uint8_t> reply =
      typesReplyOverride ? *typesReplyOverride : BuildObjectTypesReply(types, layout, TypesBase());
  typeQuerySizes.push_back(buffer.size());
  if (static_cast<int>(typeQuerySizes.size()) <= typeGrowthQueries)
    types.insert(types.end(), typeGrowth.begin(), typeGrowth.end());
  return CopyReply(reply, buffer, TypesBase(), typesStatus);
}

NativeReply FakeMachine::QuerySystemInformation(uint32_t infoClass, std::vector<uint8_t>& buffer) {
  queriedClasses.push_back(infoClass);
  queriedSizes.push_back(buffer.size());
  NativeReply refused;
  refused.status = STATUS_INVALID_INFO_CLASS_CODE;
  if (infoClass == SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS && extendedListRefused) return refused;
  if (infoClass != SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS && infoClass != SYSTEM_HANDLE_INFORMATION_CLASS)
    return refused;
  std::vector<uint8_t> reply;
  if (handleListOverride) {
    reply = *handleListOverride;
  } else {
    std::vector<FakeEntry> entries = handles;
    // Handles the scan itself holds open to its own process are part of the system's list.
    for (const auto& open : openHandles_)
      if (open.second.isProcess && ownProcessTypeNumber != 0)
        entries.push_back({ownPid, ownProcessTypeNumber, open.first, 0x400});
    reply = BuildHandleListReply(entries, infoClass, layout);
  }
  return CopyReply(reply, buffer, 0x00D00000u, handleListStatus);
}

std::string FakeMachine::WideToAnsi(const char16_t* characters, size_t count, size_t maxBytes) {
  std::string text;
  for (size_t i = 0; i < count && text.size() < maxBytes; ++i)
    text.push_back(characters[i] < 0x100 ? static_cast<char>(characters[i]) : '?');
  return text;
}

// The text after the last "\" that is a character of its own, not a trail byte.
std::string FakeMachine::PathStripPath(const std::string& path) {
  size_t start = 0;
  for (size_t at = 0; at < path.size(); at += IsDBCSLeadByte(static_cast<uint8_t>(path[at])) ? 2 : 1)
    if (path[at] == '\\') start = at + 1;
  return path.substr(start);
}

SysHandle FakeMachine::OpenProcess(uint32_t access, uint32_t processId) {
  openCalls.push_back({access, processId});
  // The own process can always be opened unless the script lists it as refusing.
  auto found = processes.find(processId);
  if (found == processes.end() ? processId != ownPid
                               : !found->second.openable || found->second.refusedAccess.count(access) != 0)
    return 0;
  const SysHandle handle = nextHandle_;
  nextHandle_ += 4;
  openHandles_[handle] = {true, processId, nullptr};
  return handle;
}

void FakeMachine::CloseHandle(SysHandle handle) {
  if (openHandles_.erase(handle) == 0) ++badCloses;
}

DuplicateResult FakeMachine::DuplicateHandle(SysHandle ownerProcess, uint64_t handleValue, uint32_t access) {
  duplicateAccesses.push_back(access);
  DuplicateResult result;
  auto owner = openHandles_.find(ownerProcess);
  if (owner == openHandles_.end() || !owner->second.isProcess) {
    result.lastError = 6;  // ERROR_INVALID_HANDLE
    return result;
  }
  const std::pair<uint32_t, uint64_t> key{owner->second.processId, handleValue};
  duplicateAttempt_ = (key == lastDuplicate_ && lastDuplicateFailed_) ? duplicateAttempt_ + 1 : 0;
  lastDuplicate_ = key;
  auto object = objects.find(key);
  if (object == objects.end()) {
    result.lastError = 6;
    lastDuplicateFailed_ = true;
    return result;
  }
  const std::vector<uint32_t>& errors = object->second.duplicationErrors;
  const uint32_t error = duplicateAttempt_ < static_cast<int>(errors.size()) ? errors[duplicateAttempt_] : 0;
  lastDuplicateFailed_ = error != 0;
  if (error != 0) {
    result.lastError = error;
    return result;
  }
  result.ok = true;
  result.handle = nextHandle_;
  nextHandle_ += 4;
  openHandles_[result.handle] = {false, 0, &object->second};
  return result;
}

const FakeObject* FakeMachine::ObjectOf(SysHandle handle) const {
  auto found = openHandles_.find(handle);
  return found == openHandles_.end() || found->second.isProcess ? nullptr : found->second.object;
}

int64_t FakeMachine::ProcessIdOf(SysHandle handle) const {
  auto found = openHandles_.find(handle);
  if (found == openHandles_.end()) return -1;
  if (found->second.isProcess) return found->second.processId;
  const FakeObject* object = found->second.object;
  return object->kind == ObjectKind::Process ? static_cast<int64_t>(object->processId) : -1;
}

uint32_t FakeMachine::GetProcessImageFileNameA(SysHandle process, std::string& text, uint32_t size) {
  auto found = processes.find(static_cast<uint32_t>(ProcessIdOf(process)));
  if (ProcessIdOf(process) < 0 || found == processes.end() || found->second.imagePath.empty()) return 0;
  if (found->second.imagePath.size() + 1 > size) return 0;  // does not fit: failure
  text = found->second.imagePath;
  return static_cast<uint32_t>(text.size());
}

uint32_t FakeMachine::GetModuleFileNameExA(SysHandle process, std::string& text, uint32_t size) {
  auto found = processes.find(static_cast<uint32_t>(ProcessIdOf(process)));
  if (ProcessIdOf(process) < 0 || found == processes.end() || found->second.modulePath.empty()) return 0;
  if (found->second.modulePath.size() + 1 > size) return 0;
  text = found->second.modulePath;
  return static_cast<uint32_t>(text.size());
}

uint32_t FakeMachine::GetProcessId(SysHandle process) {
  const FakeObject* object = ObjectOf(process);
  if (object == nullptr || object->kind != ObjectKind::Process) return 0;
  return object->processIdAnswer >= 0 ? static_cast<uint32_t>(object->processIdAnswer) : object->processId;
}

uint32_t FakeMachine::GetThreadId(SysHandle thread) {
  const FakeObject* object = ObjectOf(thread);
  return object != nullptr && object->kind == ObjectKind::Thread ? object->threadId : 0;
}

uint32_t FakeMachine::GetProcessIdOfThread(SysHandle thread) {
  const FakeObject* object = ObjectOf(thread);
  return object != nullptr && object->kind == ObjectKind::Thread ? object->processId : 0;
}

bool FakeMachine::LookupTokenUserName(SysHandle token, std::string& accountName) {
  const FakeObject* object = ObjectOf(token);
  if (object == nullptr || object->kind != ObjectKind::Token || object->userName.empty()) return false;
  accountName = object->userName;
  return true;
}

std::string FakeMachine::QueryDosDevice(const std::string& driveName) {
  auto found = drives.find(driveName);
  return found == drives.end() ? std::string() : found->second;
}

int32_t FakeMachine::StartProbe(ProbeKind kind, std::shared_ptr<ProbeStorage> storage) {
  if (failProbeStarts) return 0;
  ++probesStarted;
  probeStorages.push_back(storage);
  const FakeObject* object = ObjectOf(storage->handle);
  const int polls = object == nullptr ? 0 : (kind == ProbeKind::FileType ? object->fileTypePolls : object->namePolls);
  const int32_t worker = nextWorker_++;
  Probe probe{kind, storage, object, polls, polls == kHangs, std::make_shared<std::atomic<bool>>(false)};
  if (probe.hung) {
    // A real thread blocked in its "system call" until the test lets it go, after which it
    // writes into its storage like a terminated-too-late worker would. It holds its own
    // reference, as the system layer keeps a killed worker's storage until its thread ends.
    std::shared_ptr<std::atomic<bool>> ended = probe.ended;
    hungThreads_.emplace_back([this, storage, ended] {
      std::unique_lock<std::mutex> lock(gateMutex_);
      gate_.wait(lock, [this] { return released_; });
      lock.unlock();
      storage->ProbedFileType = 99;
      std::fill(storage->NameQueryBuffer.begin(), storage->NameQueryBuffer.end(), 0xAB);
      storage->nameStatus = 0;
      ended->store(true);
    });
    probe.storage.reset();
  }
  probes_[worker] = std::move(probe);
  return worker;
}

void FakeMachine::CompleteProbe(Probe& probe) {
  ProbeStorage& storage = *probe.storage;
  if (probe.kind == ProbeKind::FileType) {
    storage.ProbedFileType = probe.object == nullptr ? 0 : probe.object->fileType;
    return;
  }
  if (probe.object == nullptr) {
    storage.nameStatus = 0xC0000008u;  // STATUS_INVALID_HANDLE
    return;
  }
  uint32_t status = WriteObjectNameRecord(storage.NameQueryBuffer, probe.object->name, layout, NameBase());
  if (probe.object->nameStatus != 0) status = probe.object->nameStatus;
  storage.nameStatus = status;
  storage.nameReply = {status, static_cast<uint32_t>(storage.NameQueryBuffer.size()), NameBase()};
}

bool FakeMachine::IsWorkerRunning(int32_t worker) {
  auto found = probes_.find(worker);
  if (found == probes_.end()) return false;
  Probe& probe = found->second;
  if (probe.hung) return !probe.ended->load();
  if (probe.pollsLeft > 0) {
    --probe.pollsLeft;
    return true;
  }
  if (probe.storage) {
    CompleteProbe(probe);
    probe.storage.reset();  // an ended worker's storage is the scan's alone
  }
  return false;
}

void FakeMachine::KillWorker(int32_t worker) {
  ++kills;
  probes_.erase(worker);  // a pending probe's write never happens; a hung thread keeps its reference
}

TreeItem FakeMachine::InsertTreeItem(const std::string& text, TreeItem parent, int32_t image, int32_t selectedImage) {
  if (refuseTreeInserts) {
    tree.push_back({0, text, parent, image, selectedImage});
    return 0;
  }
  const TreeItem item = nextItem_;
  nextItem_ += 0x10;
  tree.push_back({item, text, parent, image, selectedImage});
  return item;
}

std::string FakeMachine::TreeText() const {
  std::string text;
  std::function<void(TreeItem, int)> add = [&](TreeItem parent, int depth) {
    for (const TreeNode& node : tree) {
      if (node.parent != parent) continue;
      text += std::string(2 * depth, ' ') + node.text + " [" + std::to_string(node.image) + "]\n";
      if (node.item != 0) add(node.item, depth + 1);
    }
  };
  add(0, 0);
  return text;
}

void FakeMachine::ReleaseHungProbes() {
  std::lock_guard<std::mutex> lock(gateMutex_);
  released_ = true;
  gate_.notify_all();
}

void FakeMachine::JoinProbeThreads() {
  for (std::thread& thread : hungThreads_)
    if (thread.joinable()) thread.join();
  hungThreads_.clear();
}

}  // namespace lurvik
