// The fake machine: reply layouts written from the structure definitions with offsets of
// their own, and a handle table of its own, so that a leaked or twice-closed handle shows.
#include "tests/native/fake_machine.h"

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "toolkit/utf8_text.h"

namespace lurvik {

namespace {

constexpr uint32_t kInfoLengthMismatch = 0xC0000004u;

// OBJECT_TYPES_INFORMATION: a ULONG count, then OBJECT_TYPE_INFORMATION records aligned to the
// pointer size (the name string, 13 ULONGs, GENERIC_MAPPING with GenericAll fourth, ...).
struct TypesForm { size_t pointer, first, fixed, genericAll; };
constexpr TypesForm kTypes32 = {4, 4, 96, 72}, kTypes64 = {8, 8, 104, 80};

// Entries of SYSTEM_HANDLE_INFORMATION (class 16) and SYSTEM_HANDLE_INFORMATION_EX (class 64):
// byte offsets and widths of their fields, in the 32- and 64-bit layouts.
struct EntryForm { size_t countWidth, first, size, object, owner, ownerWidth, backTrace, type, typeWidth, attributes, value, valueWidth, access; };
constexpr EntryForm kEntryForms[2][2] = {{{4, 4, 16, 8, 0, 2, 2, 4, 1, 5, 6, 2, 12}, {4, 8, 24, 8, 0, 2, 2, 4, 1, 5, 6, 2, 16}},
                                         {{4, 8, 28, 0, 4, 4, 16, 18, 2, 20, 8, 4, 12}, {8, 16, 40, 0, 8, 8, 28, 30, 2, 32, 16, 8, 24}}};

// The needed length always, the reply only when it fits.
NativeReply CopyReply(const std::vector<uint8_t>& reply, std::vector<uint8_t>& buffer, uint64_t base, uint32_t status) {
  if (buffer.size() < reply.size()) return {kInfoLengthMismatch, static_cast<uint32_t>(reply.size()), base};
  std::copy(reply.begin(), reply.end(), buffer.begin());
  return {status, static_cast<uint32_t>(reply.size()), base};
}

// An object-name record in `buffer`; the status is an info length mismatch when it does not fit.
uint32_t WriteObjectNameRecord(std::vector<uint8_t>& buffer, const std::u16string& name, RecordLayout layout, uint64_t base) {
  const size_t p = layout == RecordLayout::Bits64 ? 8 : 4, length = name.size() * 2;  // UNICODE_STRING, then the characters
  if (length + 2 > 0xFFFF || 2 * p + length + 2 > buffer.size()) return kInfoLengthMismatch;
  std::fill(buffer.begin(), buffer.end(), 0);
  Put(buffer, 0, length, 2);
  Put(buffer, 2, length + 2, 2);
  Put(buffer, p, name.empty() ? 0 : base + 2 * p, p);
  for (size_t i = 0; i < name.size(); ++i) Put(buffer, 2 * p + 2 * i, name[i], 2);
  return 0;
}

}  // namespace

void Put(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, size_t width) {
  if (bytes.size() < offset + width) bytes.resize(offset + width, 0);
  for (size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::u16string Widen(const std::string& text) {
  std::u16string wide;
  for (char c : text) wide.push_back(static_cast<unsigned char>(c));
  return wide;
}

std::vector<uint8_t> BuildObjectTypesReply(const std::vector<FakeType>& types, RecordLayout layout, uint64_t base) {
  const TypesForm& form = layout == RecordLayout::Bits64 ? kTypes64 : kTypes32;
  std::vector<uint8_t> bytes;
  Put(bytes, 0, types.size(), 4);
  size_t at = form.first;
  for (const FakeType& type : types) {
    const std::u16string name = Widen(type.name);
    const size_t maxLength = type.maxLength < 0 ? name.size() * 2 + 2 : static_cast<size_t>(type.maxLength);
    Put(bytes, at, name.size() * 2, 2);
    Put(bytes, at + 2, maxLength, 2);
    Put(bytes, at + form.pointer, base + at + form.fixed, form.pointer);
    Put(bytes, at + form.genericAll, type.genericAll, 4);
    for (size_t i = 0; i < name.size(); ++i) Put(bytes, at + form.fixed + 2 * i, name[i], 2);
    at += form.fixed + (maxLength + form.pointer - 1) / form.pointer * form.pointer;
    bytes.resize(std::max(bytes.size(), at), 0);
  }
  return bytes;
}

std::vector<uint8_t> BuildHandleListReply(const std::vector<FakeEntry>& entries, uint32_t infoClass, RecordLayout layout) {
  const size_t p = layout == RecordLayout::Bits64 ? 8 : 4;
  const EntryForm& f = kEntryForms[infoClass == SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS][p == 8];
  std::vector<uint8_t> bytes(f.first + entries.size() * f.size, 0);
  Put(bytes, 0, entries.size(), f.countWidth);
  for (size_t i = 0; i < entries.size(); ++i) {  // each field cut to its width
    const size_t at = f.first + i * f.size;
    Put(bytes, at + f.object, 0xCAFE0000u, p);
    Put(bytes, at + f.owner, entries[i].ownerPid, f.ownerWidth);
    Put(bytes, at + f.backTrace, 0xBEEF, 2);
    Put(bytes, at + f.type, entries[i].typeNumber, f.typeWidth);
    Put(bytes, at + f.attributes, i % 2 ? 0x02 : 0, 1);  // the inherit flag on every second entry
    Put(bytes, at + f.value, entries[i].handleValue, f.valueWidth);
    Put(bytes, at + f.access, entries[i].grantedAccess, 4);
  }
  return bytes;
}


NativeReply FakeMachine::QueryObjectTypes(std::vector<uint8_t>& buffer) {
  const std::vector<uint8_t> reply = typesReply ? *typesReply : BuildObjectTypesReply(types, layout, Base(0xB00000));
  typeQuerySizes.push_back(buffer.size());
  if (static_cast<int>(typeQuerySizes.size()) <= typeGrowthQueries)
    types.insert(types.end(), typeGrowth.begin(), typeGrowth.end());
  return CopyReply(reply, buffer, Base(0xB00000), typesStatus);
}

// SYSTEM_PROCESS_INFORMATION records: NextEntryOffset at 0, CreateTime at 32, UserTime at 40,
// UniqueProcessId at 68 or 80 and InheritedFromUniqueProcessId after it; each record longer
// than the one before, as thread records follow each process.
std::vector<uint8_t> FakeMachine::ProcessListReply() {
  const bool wide = layout == RecordLayout::Bits64;
  const size_t p = wide ? 8 : 4, idAt = wide ? 80 : 68;
  std::vector<uint8_t> bytes;
  size_t at = 0, last = 0;
  for (const auto& [pid, process] : processes) {
    const uint64_t number = process.listed.value_or(process.created);
    if (number == 0) continue;
    const size_t size = (wide ? 256 : 184) + 64 * (pid % 3);
    Put(bytes, at + 32, number, 8);
    Put(bytes, at + 40, number + 7, 8);
    Put(bytes, at + idAt, pid, p);
    Put(bytes, at + idAt + p, pid + 1, p);
    Put(bytes, at, size, 4);
    last = at;
    at += size;
    bytes.resize(at, 0);
  }
  if (!bytes.empty()) Put(bytes, last, 0, 4);
  return bytes;
}

NativeReply FakeMachine::QuerySystemInformation(uint32_t infoClass, std::vector<uint8_t>& buffer) {
  queriedClasses.push_back(infoClass);
  queriedSizes.push_back(buffer.size());
  if (infoClass == 5 && !processListRefused) {
    return CopyReply(ProcessListReply(), buffer, 0xE00000, 0);
  }
  if (infoClass != SYSTEM_HANDLE_INFORMATION_CLASS && (infoClass != SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS || extendedListRefused))
    return {STATUS_INVALID_INFO_CLASS_CODE, 0, 0};
  std::vector<FakeEntry> entries = handles;
  for (const auto& [handle, what] : open)  // the scan's own process handles are in the system's list
    if (what.second == nullptr && ownProcessTypeNumber != 0) entries.push_back({ownPid, ownProcessTypeNumber, handle, 0x400});
  return CopyReply(handleListReply ? *handleListReply : BuildHandleListReply(entries, infoClass, layout), buffer, 0xD00000,
                   handleListStatus);
}

std::string FakeMachine::WideToAnsi(const char16_t* characters, size_t count, size_t maxBytes) {
  std::string text;
  for (size_t i = 0; i < count && text.size() < maxBytes; ++i) text.push_back(characters[i] < 0x100 ? static_cast<char>(characters[i]) : '?');
  return text;
}

// ASCII and the pairs of Latin Extended-A (lower case odd) upper-cased.
std::u16string FakeMachine::UpperCaseWide(const std::u16string& text) {
  std::u16string upper = text;
  for (char16_t& c : upper) c -= (c >= u'a' && c <= u'z') ? 0x20 : (c >= 0x100 && c < 0x138 && c % 2) ? 1 : 0;
  return upper;
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
  auto found = processes.find(processId);  // the own process opens unless the script says otherwise
  if (found == processes.end() ? processId != ownPid : !found->second.openable || found->second.refusedAccess.count(access))
    return 0;
  const bool held = std::any_of(open.begin(), open.end(), [&](const auto& h) { return !h.second.second && h.second.first == processId; });
  if (!held) ++unheldOpens[access];
  open[nextHandle_] = {processId, nullptr};
  return (nextHandle_ += 4) - 4;
}

bool FakeMachine::ProcessCreationTime(SysHandle process, uint64_t& time) {
  ++creationTimeQueries;
  auto found = open.find(process);
  auto named = found == open.end() || found->second.second ? processes.end() : processes.find(found->second.first);
  if (named == processes.end() || named->second.created == 0) return false;
  time = named->second.created;
  return true;
}

DuplicateResult FakeMachine::DuplicateHandle(SysHandle ownerProcess, uint64_t handleValue, uint32_t access) {
  duplicateAccesses.push_back(access);
  auto owner = open.find(ownerProcess);
  auto object = owner == open.end() || owner->second.second ? objects.end() : objects.find({owner->second.first, handleValue});
  if (object == objects.end()) return {false, 6, 0};  // ERROR_INVALID_HANDLE
  std::vector<uint32_t>& errors = object->second.duplicationErrors;
  const uint32_t error = errors.empty() ? 0 : errors.front();
  if (!errors.empty()) errors.erase(errors.begin());
  if (error != 0) return {false, error, 0};
  open[nextHandle_] = {0, &object->second};
  mostCopiesOpen = std::max(mostCopiesOpen, std::count_if(open.begin(), open.end(), [](const auto& h) { return h.second.second != nullptr; }));
  return {true, 0, (nextHandle_ += 4) - 4};
}

const FakeObject& FakeMachine::Object(SysHandle handle) {
  static const FakeObject none;
  auto found = open.find(handle);
  return found == open.end() || !found->second.second ? none : *found->second.second;
}

// The path of the handle's process, when there is one and it fits into `size` with its zero.
uint32_t FakeMachine::PathAnswer(SysHandle process, std::string FakeProcess::*path, std::u16string& text, uint32_t size) {
  auto found = open.find(process);
  auto named = found == open.end() ? processes.end()
                                   : processes.find(found->second.second ? found->second.second->pid : found->second.first);
  const std::u16string wide = named == processes.end() ? std::u16string() : Utf16FromUtf8(named->second.*path);
  if (wide.empty() || wide.size() + 1 > size) return 0;
  text = wide;
  return static_cast<uint32_t>(text.size());
}

bool FakeMachine::LookupTokenUserName(SysHandle token, std::string& accountName) {
  accountName = Object(token).user;
  return !accountName.empty();
}

int32_t FakeMachine::StartProbeWorker() {
  if (failProbeStarts) return 0;
  ++workersStarted;
  workers_[nextWorker_] = Worker{ProbeKind::File, {}, {}, 0, 0, 0};
  return nextWorker_++;
}

void FakeMachine::AskProbe(int32_t worker, ProbeKind kind, ProbeTrip trip) {
  auto found = workers_.find(worker);
  if (found == workers_.end()) return;
  ++tripsAsked;
  questionsAsked += static_cast<int>(trip.size());
  if (trip.size() > kMaxTripQuestions) ADD_FAILURE() << "a trip of " << trip.size() << " questions";
  Worker& w = found->second;
  w.kind = kind, w.trip.assign(trip.begin(), trip.end());
  TakeNextQuestion(w);
  AdvanceWorker(w);
}

void FakeMachine::TakeNextQuestion(Worker& w) {
  if (w.trip.empty()) return;
  w.object = Object(w.trip.front()->handle);
  w.startLeft = w.object.probeStartPauses, w.callLeft = w.kind == ProbeKind::File ? w.object.fileTypePolls : w.object.namePolls;
}

// Passes every phase whose pauses are used up, as the worker's thread would: takes the question
// and enters its call unless it was given up (which ends the trip); a file question writes the
// type and, for a disk file or a pipe, goes on into its name call, and for a named disk file
// into its folder call; writes the last answer and leaves; is busy for the question's end
// pauses; and goes on with the next question of its trip.
void FakeMachine::AdvanceWorker(Worker& w) {
  while (!w.trip.empty() && w.backLeft == 0 && w.startLeft == 0) {
    ProbeStorage& storage = *w.trip.front();
    if (storage.phase == kProbeStarting && !EnterProbeCall(storage.phase)) return w.trip.clear();
    if (storage.phase == kProbeInCall && w.callLeft == 0 && w.kind == ProbeKind::File) {
      storage.ProbedFileType = w.object.fileType;
      if (FileTypeHasName(w.object.fileType) && EnterSecondProbeCall(storage.phase)) w.callLeft = w.object.namePolls;
    }
    if (storage.phase == kProbeInSecondCall && w.callLeft == 0) {
      AnswerName(w.object, storage);
      if (w.object.fileType == 1 && storage.nameStatus == 0 && EnterThirdProbeCall(storage.phase)) w.callLeft = w.object.folderPolls;
    }
    const int32_t call = storage.phase;
    const bool inCall = call == kProbeInCall || call == kProbeInSecondCall || call == kProbeInThirdCall;
    if (inCall && w.callLeft == 0) {
      if (w.kind == ProbeKind::ObjectName) AnswerName(w.object, storage);
      if (call == kProbeInThirdCall) storage.ProbedFolder = w.object.folder ? 1 : 0;
      LeaveProbeCall(storage.phase, call);
      w.backLeft = w.object.probeEndPauses;
    }
    if (storage.phase == kProbeInCall || storage.phase == kProbeInSecondCall || storage.phase == kProbeInThirdCall) return;  // still inside
    if (storage.phase != kProbeLeftCall) return w.trip.clear();  // claimed for the kill
    w.trip.pop_front();
    TakeNextQuestion(w);
  }
}

void FakeMachine::AnswerName(const FakeObject& object, ProbeStorage& storage) {
  const uint32_t status = WriteObjectNameRecord(storage.NameQueryBuffer, object.name, layout, Base(0xC00000));
  storage.nameStatus = object.nameStatus != 0 ? object.nameStatus : status;
  storage.nameReply = {storage.nameStatus, static_cast<uint32_t>(storage.NameQueryBuffer.size()), Base(0xC00000)};
}

void FakeMachine::AskDirectly(ProbeKind kind, ProbeStorage& storage) {
  ++directQuestions;
  if (kind == ProbeKind::File) ADD_FAILURE() << "a file question asked on the scan thread: it may hang";
  EnterProbeCall(storage.phase);
  AnswerName(Object(storage.handle), storage);
  LeaveProbeCall(storage.phase);
}

bool FakeMachine::AwaitProbe(int32_t worker, uint32_t milliseconds) {
  ++pauses;
  clock += milliseconds;
  for (auto& [number, w] : workers_) {
    const int32_t phase = w.trip.empty() ? kProbeStarting : w.trip.front()->phase.load();
    const bool inCall = phase == kProbeInCall || phase == kProbeInSecondCall || phase == kProbeInThirdCall;
    int& left = w.backLeft != 0 || w.trip.empty() ? w.backLeft : inCall ? w.callLeft : w.startLeft;
    if (left > 0) --left;
    AdvanceWorker(w);
  }
  return workers_.count(worker) != 0;
}

void FakeMachine::SendTreeNodes(const TreeNodeBatch& batch) {
  if (batch.firstNumber == 1) itemsByNumber_.assign(1, 0);  // a new scan numbers anew
  batchSizes.push_back(batch.nodes.size());
  batchTimes.push_back(clock);
  for (size_t i = 0; i < batch.nodes.size(); ++i) {
    const TreeNodeBatch::Node& node = batch.nodes[i];
    if (batch.firstNumber + i != itemsByNumber_.size() || node.parent >= itemsByNumber_.size()) {
      ADD_FAILURE() << "node number " << batch.firstNumber + i << " with parent " << node.parent << " out of order";
      return;
    }
    const std::string text(batch.texts.data() + node.textOffset, node.textLength);
    if (batch.texts[node.textOffset + node.textLength] != '\0') ADD_FAILURE() << "text without its zero: " << text;
    const TreeItem item = refuseTreeInserts ? 0 : (nextItem_ += 0x10);
    tree.push_back({item, itemsByNumber_[node.parent], text + " [" + std::to_string(node.image) + "]", statusTexts.size()});
    itemsByNumber_.push_back(item);
  }
  // The model as the main thread holds it: its inserts take the items 1, 2, 3, ...
  struct CountingControl : TreeControl {
    uintptr_t items = 0;
    bool refuse = false;
    uintptr_t Insert(uintptr_t, InsertPlace, const char*, int32_t) override { return refuse ? 0 : ++items; }
  } control;
  control.items = keptItems_;
  control.refuse = refuseTreeInserts;
  if (batch.firstNumber == 1) kept.Clear(), keptInsertion.Reset();
  for (size_t i = 0; i < batch.nodes.size(); ++i) {
    const TreeNodeBatch::Node& node = batch.nodes[i];
    kept.Add(batch.firstNumber + static_cast<NodeNumber>(i), std::string_view(batch.texts).substr(node.textOffset, node.textLength),
             node.parent, node.image);
  }
  if (batch.finishes) keptInsertion.Finish(kept.Count());
  keptInsertion.Run(kept, control, [] { return false; });
  keptItems_ = control.items;
}

std::string FakeMachine::KeptTreeText() const {
  std::string text;
  for (NodeNumber node = kept.First(); node != 0; node = kept.Next(node)) {
    size_t depth = 0;
    for (NodeNumber up = kept.Parent(node); up != 0; up = kept.Parent(up)) ++depth;
    text += std::string(2 * depth, ' ') + std::string(kept.Text(node)) + " [" + std::to_string(kept.Image(node)) + "]\n";
  }
  return text;
}

std::string FakeMachine::TreeText() const {
  std::string text;
  std::function<void(TreeItem, int)> add = [&](TreeItem parent, int depth) {
    for (const TreeNode& node : tree)
      if (node.parent == parent) {
        text += std::string(2 * depth, ' ') + node.line + "\n";
        if (node.item != 0) add(node.item, depth + 1);
      }
  };
  add(0, 0);
  return text;
}

}  // namespace lurvik
