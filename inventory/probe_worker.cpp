// The bounded wait for a probe question and the reuse of the one probe worker.
#include "inventory/probe_worker.h"

namespace lurvik {

// The phases are treated differently because a thread may be terminated safely only while it
// is inside a question's calls:
// - Not yet entered: a new thread runs the loader's thread notifications under the loader
//   lock and the runtime's per-thread set-up under the heap lock before the probe procedure,
//   and a reused one may be in the system's wait for its next question. Killed there, it
//   could leave those locks held for good: every later thread start, the loader and the
//   process end would hang. So it is never killed: after 2 s it is given up, and when it does
//   reach the question later it sees that and returns without making its call.
// - In a call (the first or the second): it holds no lock of ours or of the runtime; a kill
//   there is what the bounded wait is for. Each call has its own bound of 50 pauses, counted
//   from the first look that finds the worker inside it, so a second call that hangs is given
//   as long as a question of its own would be, and the scan waits no longer past the start of
//   a hung call than for a question of one call. The claim and the worker's next step are one
//   exchange: a worker that leaves or moves on to its second call in the same moment either
//   counts as having done so, or waits for the kill without going on.
// - Left its last call: its results are complete, whatever the thread does next.
WaitResult WaitOrKillWorker(InventorySystem& system, int32_t worker, ProbeStorage& storage) {
  if (worker == 0) return WaitResult::Abandoned;
  ProbePhaseCell& phase = storage.phase;
  bool running = true;
  for (int32_t startTicks = 0; phase.load() == kProbeStarting && running && startTicks < kMaxStartTicks; ++startTicks)
    running = system.AwaitProbe(worker, 1);
  if (GiveUpProbe(phase, kProbeStarting)) return WaitResult::Abandoned;

  int32_t call = kProbeStarting;  // the call the ticks are counted for
  int32_t WaitTicks = 0;
  for (;;) {
    const int32_t now = phase.load();  // kProbeInCall, kProbeInSecondCall or kProbeLeftCall
    if (now == kProbeLeftCall) return WaitResult::Finished;
    if (now != call) call = now, WaitTicks = 0;
    if (running && WaitTicks < kMaxWaitTicks) {
      running = system.AwaitProbe(worker, 1);
      ++WaitTicks;
    } else if (GiveUpProbe(phase, now)) {
      system.KillWorker(worker);
      return WaitResult::Abandoned;
    }  // else the worker left or moved on in that moment: look again
  }
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
