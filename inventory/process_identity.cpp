// SnapshotProcesses: the process list read before the handle snapshot, and the creation-time
// comparison.
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

bool ById(const ProcessRecord& listed, uint32_t processId) { return listed.processId < processId; }

}  // namespace

void SnapshotProcesses::ListBeforeSnapshot(InventorySystem& system) {
  processes_.clear();
  listed_ = ReadProcessList(system, processes_);
  std::sort(processes_.begin(), processes_.end(),
            [](const ProcessRecord& a, const ProcessRecord& b) { return a.processId < b.processId; });
}

const ProcessRecord* SnapshotProcesses::Find(uint32_t processId) const {
  auto found = std::lower_bound(processes_.begin(), processes_.end(), processId, ById);
  return found == processes_.end() || found->processId != processId ? nullptr : &*found;
}

// A process listed with time T and opened later with time T lived from the list to the walk,
// so it held the id during the snapshot between them.
bool SnapshotProcesses::IsSnapshotOwner(InventorySystem& system, SysHandle process, uint32_t processId) const {
  if (!listed_) return true;
  const ProcessRecord* listed = Find(processId);
  uint64_t created = 0;
  return process != 0 && listed != nullptr && system.ProcessCreationTime(process, created) && listed->creationTime == created;
}

}  // namespace lurvik
