// The bounded wait for a probe question and the reuse of the one probe worker.
#include "inventory/probe_worker.h"

namespace lurvik {

// The three phases are treated differently because a thread may be terminated safely only
// while it is inside its one system call:
// - Not yet entered: a new thread runs the loader's thread notifications under the loader
//   lock and the runtime's per-thread set-up under the heap lock before the probe procedure,
//   and a reused one may be in the system's wait for its next question. Killed there, it
//   could leave those locks held for good: every later thread start, the loader and the
//   process end would hang. So it is never killed: after 2 s it is given up, and when it does
//   reach the question later it sees that and returns without making its call.
// - In its call: it holds no lock of ours or of the runtime; a kill there is what the bounded
//   wait is for. The claim and the worker's leaving are one exchange, so a worker that leaves
//   in the same moment either counts as finished or waits for the kill without going on.
// - Left its call: its result is complete, whatever the thread does next.
WaitResult WaitOrKillWorker(InventorySystem& system, int32_t worker, ProbeStorage& storage) {
  if (worker == 0) return WaitResult::Abandoned;
  ProbePhaseCell& phase = storage.phase;
  bool running = true;
  for (int32_t startTicks = 0; phase.load() == kProbeStarting && running && startTicks < kMaxStartTicks; ++startTicks)
    running = system.AwaitProbe(worker, 1);
  if (GiveUpProbe(phase, kProbeStarting)) return WaitResult::Abandoned;

  int32_t WaitTicks = 0;
  while (phase.load() == kProbeInCall && running && WaitTicks < kMaxWaitTicks) {
    running = system.AwaitProbe(worker, 1);
    ++WaitTicks;
  }
  if (phase.load() == kProbeLeftCall) return WaitResult::Finished;
  if (GiveUpProbe(phase, kProbeInCall)) system.KillWorker(worker);
  return phase.load() == kProbeLeftCall ? WaitResult::Finished : WaitResult::Abandoned;
}

ProbeWorker::~ProbeWorker() {
  if (worker_ != 0) system_.EndProbeWorker(worker_);
}

WaitResult ProbeWorker::Ask(ProbeKind kind, const std::shared_ptr<ProbeStorage>& storage) {
  if (worker_ == 0) worker_ = system_.StartProbeWorker();
  if (worker_ == 0) return WaitResult::Abandoned;
  system_.AskProbe(worker_, kind, storage);
  const WaitResult result = WaitOrKillWorker(system_, worker_, *storage);
  if (result == WaitResult::Abandoned) {
    // Killed, given up or gone: the system layer keeps what it may still touch until its end.
    system_.EndProbeWorker(worker_);
    worker_ = 0;
  }
  return result;
}

}  // namespace lurvik
