// SnapshotProcesses: the two process lists around the handle snapshot, merged, and the
// creation-time comparison.
#include "inventory/process_identity.h"

#include <algorithm>

#include "inventory/native_records.h"
#include "inventory/zeroed_buffer.h"

namespace lurvik {

namespace {

// Room for the processes and threads started between the length probe and the query.
constexpr uint64_t kProcessListSlack = 65536;
constexpr int kProcessListTries = 3;
constexpr size_t kMaxProcessRecords = 1u << 20;

// The process list; false when it could not be read. A list that grew past the probed length
// and its slack is asked again with the length the system reported then.
bool ReadProcessList(InventorySystem& system, std::vector<ProcessRecord>& records) {
  std::vector<uint8_t> buffer;
  uint64_t length = 0;
  for (int attempt = 0; attempt <= kProcessListTries; ++attempt) {
    if (!TakeZeroedBuffer(buffer, attempt == 0 ? 24 : length + kProcessListSlack)) return false;
    const NativeReply reply = system.QuerySystemInformation(SYSTEM_PROCESS_INFORMATION_CLASS, buffer);
    if (!IsErrorStatus(reply.status)) {
      records = ParseProcessList(buffer.data(), buffer.size(), system.Layout(), kMaxProcessRecords);
      return !records.empty();
    }
    if (!IsLengthStatus(reply.status)) return false;
    length = reply.returnedLength;
  }
  return false;
}

}  // namespace

bool SnapshotProcesses::ById(const ProcessRecord& listed, uint32_t processId) { return listed.processId < processId; }

void SnapshotProcesses::SortById() {
  std::sort(processes_.begin(), processes_.end(),
            [](const ProcessRecord& a, const ProcessRecord& b) { return a.processId < b.processId; });
}

void SnapshotProcesses::ListBeforeSnapshot(InventorySystem& system) {
  processes_.clear();
  listed_ = ReadProcessList(system, processes_);
  SortById();
}

void SnapshotProcesses::ListAfterSnapshot(InventorySystem& system) {
  std::vector<ProcessRecord> records;
  if (!listed_ || !ReadProcessList(system, records)) return;  // without the first list, no id is known free
  const size_t before = processes_.size();
  for (const ProcessRecord& record : records) {
    auto first = std::lower_bound(processes_.begin(), processes_.begin() + before, record.processId, ById);
    if (first == processes_.begin() + before || first->processId != record.processId)
      processes_.push_back(record);
  }
  SortById();
}

const ProcessRecord* SnapshotProcesses::Find(uint32_t processId) const {
  auto found = std::lower_bound(processes_.begin(), processes_.end(), processId, ById);
  return found == processes_.end() || found->processId != processId ? nullptr : &*found;
}

bool SnapshotProcesses::IsSnapshotOwner(InventorySystem& system, SysHandle process, uint32_t processId) const {
  if (!listed_) return true;
  uint64_t created = 0;
  if (!system.ProcessCreationTime(process, created)) return true;
  const ProcessRecord* listed = Find(processId);
  return listed != nullptr && listed->creationTime == created;
}

}  // namespace lurvik
