// Probe workers with a bounded wait. The probe storage is shared with the system layer, which
// keeps a killed worker's reference until its thread has ended; the scan drops its own
// reference when the query is over, so a killed worker never writes into freed memory.
#include "inventory/hang_safe_queries.h"

#include <memory>

#include "inventory/ansi_characters.h"
#include "inventory/device_paths.h"
#include "inventory/handle_output.h"
#include "inventory/native_records.h"
#include "inventory/scan_state.h"
#include "shell/language_text.h"

namespace lurvik {

namespace {

constexpr size_t kNameQueryBufferSize = 10004;
constexpr size_t kNameTextBytes = 10000;
constexpr int32_t kFileTypeDisk = 1;
constexpr int32_t kFileTypePipe = 3;

}  // namespace

// The three phases are treated differently because a thread may be terminated safely only
// while it is inside its one system call:
// - Starting: the new thread runs the loader's thread notifications under the loader lock and
//   the runtime's per-thread set-up under the heap lock before the probe procedure. Killed
//   there, it would leave those locks held for good: every later thread start, the
//   loader and the process end would hang. So it is never killed: after 2 s it is given up,
//   and when it does enter later it sees that and returns without making its call.
// - In its call: it holds no lock of ours or of the runtime; a kill there is what the bounded
//   wait is for. The claim and the probe's leaving are one exchange, so a probe that leaves in
//   the same moment either counts as finished or waits for the kill without ending its thread
//   (its end would run the loader's notifications again).
// - Left its call: its result is complete even while its thread is still ending.
WaitResult WaitOrKillWorker(InventorySystem& system, int32_t worker, ProbeStorage& storage) {
  if (worker == 0) return WaitResult::Abandoned;
  ProbePhaseCell& phase = storage.phase;
  for (int32_t startTicks = 0;
       phase.load() == kProbeStarting && system.IsWorkerRunning(worker) && startTicks < kMaxStartTicks; ++startTicks)
    system.PauseMilliseconds(1);
  if (GiveUpProbe(phase, kProbeStarting)) return WaitResult::Abandoned;

  int32_t WaitTicks = 0;
  while (phase.load() == kProbeInCall && system.IsWorkerRunning(worker) && WaitTicks < kMaxWaitTicks) {
    system.PauseMilliseconds(1);
    ++WaitTicks;
  }
  if (phase.load() == kProbeLeftCall) return WaitResult::Finished;
  if (GiveUpProbe(phase, kProbeInCall)) system.KillWorker(worker);
  return phase.load() == kProbeLeftCall ? WaitResult::Finished : WaitResult::Abandoned;
}

std::string QueryObjectNameBounded(InventorySystem& system, SysHandle handle) {
  std::shared_ptr<ProbeStorage> storage = std::make_shared<ProbeStorage>();
  storage->handle = handle;
  try {
    storage->NameQueryBuffer.assign(kNameQueryBufferSize, 0);
  } catch (...) {  // no buffer, no question
    return std::string();
  }
  const int32_t worker = system.StartProbe(ProbeKind::ObjectName, storage);
  if (WaitOrKillWorker(system, worker, *storage) == WaitResult::Abandoned) return std::string();
  if (storage->nameStatus != STATUS_SUCCESS_CODE) return std::string();
  std::u16string name;
  const std::vector<uint8_t>& record = storage->NameQueryBuffer;
  if (!ParseObjectName(record.data(), record.size(), storage->nameReply.baseAddress, system.Layout(), name) ||
      name.empty())
    return std::string();
  std::string text = system.WideToAnsi(name.data(), name.size(), kNameTextBytes);
  text = text.substr(0, text.find('\0'));
  return CutToWholeCharacters(system, text, kImageNameBufferSize);
}

void ResolveFileHandle(HandleResolution& resolution) {
  InventorySystem& system = resolution.state.system;
  std::shared_ptr<ProbeStorage> probe = std::make_shared<ProbeStorage>();
  probe->handle = resolution.duplicate;
  probe->ProbedFileType = 0;
  const int32_t worker = system.StartProbe(ProbeKind::FileType, probe);
  if (WaitOrKillWorker(system, worker, *probe) == WaitResult::Abandoned) return;
  const int32_t fileType = probe->ProbedFileType;
  probe.reset();

  std::string& name = resolution.state.ImageNameBuffer;
  if (fileType == kFileTypePipe) {
    resolution.DetailIconIndex = 5;
    name = QueryObjectNameBounded(system, resolution.duplicate);
    if (!name.empty())
      AddDetailLine(system, resolution.row, resolution.handleNode, LanguageText(7) + name, resolution.DetailIconIndex);
  } else if (fileType == kFileTypeDisk) {
    name = QueryObjectNameBounded(system, resolution.duplicate);
    if (name.empty()) return;
    name = DevicePathToDrivePath(system, name);
    if (name.empty()) return;
    const bool folder = system.PathIsDirectory(name);
    resolution.DetailIconIndex = folder ? 1 : 7;
    AddDetailLine(system, resolution.row, resolution.handleNode, LanguageText(folder ? 5 : 4) + name,
                  resolution.DetailIconIndex);
  }
}

}  // namespace lurvik
