// TakeHandleSnapshot and CalibrateTypeNumbers.
#include "inventory/handle_snapshot.h"

#include "inventory/owned_handle.h"
#include "inventory/type_table.h"
#include "inventory/zeroed_buffer.h"

namespace lurvik {

int32_t TypeNumberOffset = 0;

namespace {

constexpr uint64_t kSnapshotProbeSize = 24;
constexpr uint64_t kSnapshotSlack = 20000000;
constexpr uint32_t kProcessQueryInformation = 0x400;
constexpr uint64_t kCalibrationWindow = 800;

// The probe call; returns the reported length, or false when the class is refused.
bool ProbeHandleList(InventorySystem& system, uint32_t infoClass, uint64_t& reportedLength) {
  std::vector<uint8_t> probe;
  if (!TakeZeroedBuffer(probe, kSnapshotProbeSize)) return false;
  NativeReply reply = system.QuerySystemInformation(infoClass, probe);
  reportedLength = reply.returnedLength;
  return !IsErrorStatus(reply.status) || IsLengthStatus(reply.status);
}

}  // namespace

HandleSnapshot TakeHandleSnapshot(InventorySystem& system, const std::function<void()>& justBefore) {
  HandleSnapshot snapshot;
  snapshot.layout = system.Layout();
  uint64_t reportedLength = 0;
  if (!ProbeHandleList(system, SYSTEM_EXTENDED_HANDLE_INFORMATION_CLASS, reportedLength)) {
    snapshot.infoClass = SYSTEM_HANDLE_INFORMATION_CLASS;
    reportedLength = 0;
    ProbeHandleList(system, SYSTEM_HANDLE_INFORMATION_CLASS, reportedLength);
  }
  if (!TakeZeroedBuffer(snapshot.bytes, reportedLength + kSnapshotSlack)) return snapshot;
  if (justBefore) justBefore();
  NativeReply reply = system.QuerySystemInformation(snapshot.infoClass, snapshot.bytes);
  // A failed query leaves nothing to trust in the buffer: read it as an empty list.
  if (IsErrorStatus(reply.status)) {
    snapshot.bytes.clear();
    snapshot.bytes.shrink_to_fit();
  }
  return snapshot;
}

int32_t CalibrateTypeNumbers(InventorySystem& system) {
  const uint32_t ownPid = system.CurrentProcessId();
  OwnedHandle ownProcess(system, system.OpenProcess(kProcessQueryInformation, ownPid));
  if (!ownProcess) return 0;
  const HandleSnapshot snapshot = TakeHandleSnapshot(system);
  const uint64_t count = snapshot.EntryCount();
  const uint64_t mask = snapshot.Narrow() ? 0xFFFF : ~0ull;
  const uint64_t handleValue = ownProcess.value() & mask;
  const uint64_t pidValue = ownPid & mask;
  // The own handle was opened last, so it stands near the end of the list.
  uint64_t first = 0;
  if (handleValue < count && count - handleValue > kCalibrationWindow) first = count - handleValue - kCalibrationWindow - 1;
  int32_t found = 0;
  HandleEntry entry;
  for (uint64_t index = first; index < count && !system.QuitRequested(); ++index) {
    if (!snapshot.Entry(index, entry)) break;
    if (entry.ownerPid == pidValue && entry.handleValue == handleValue && ProcessTypeRow != 0) {
      TypeNumberOffset = static_cast<int32_t>(entry.typeNumber) - ProcessTypeRow;
      found = 1;
    }
  }
  return found;
}

}  // namespace lurvik
