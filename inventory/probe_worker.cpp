// The bounded wait for a trip of probe questions and the reuse of the one probe worker.
#include "inventory/probe_worker.h"

namespace lurvik {

// The phases are treated differently because a thread may be terminated safely only while it
// is inside a question's calls:
// - Not yet entered: a new thread runs the loader's thread notifications under the loader
//   lock and the runtime's per-thread set-up under the heap lock before the probe procedure,
//   and a reused one may be in the system's wait for its next trip or in its loop between two
//   questions. Killed there, it could leave those locks held for good: every later thread
//   start, the loader and the process end would hang. So it is never killed: after 2 s it is
//   given up, and when it does reach the question later it sees that and returns without
//   making its call, and without going on to the questions after it.
// - In a call (the first, second or third): it holds no lock of ours or of the runtime; a kill
//   there is what the bounded wait is for. Each call has its own bound of 50 pauses, counted
//   from the first look that finds the worker inside it, so a later call that hangs is given
//   as long as a question of its own would be, and a question late in a trip as long as the
//   first; the scan waits no longer past the start of a hung call than for a question of one
//   call. The claim and the worker's next step are one exchange: a worker that leaves or
//   moves on to its next call in the same moment either counts as having done so, or waits
//   for the kill without going on.
// - Left its last call: its results are complete, whatever the thread does next.
size_t WaitOrKillWorker(InventorySystem& system, int32_t worker, const ProbeTrip& trip) {
  if (worker == 0) return 0;
  bool running = true;
  size_t current = 0;
  int32_t startTicks = 0;
  int32_t call = kProbeStarting;  // the call the ticks are counted for
  int32_t WaitTicks = 0;
  for (;;) {
    while (current < trip.size() && trip[current]->phase.load() == kProbeLeftCall) {
      ++current;  // a new question: its bounds count afresh
      startTicks = 0, call = kProbeStarting, WaitTicks = 0;
    }
    if (current == trip.size()) return current;
    ProbePhaseCell& phase = trip[current]->phase;
    const int32_t now = phase.load();  // kProbeStarting or one of the three calls
    if (now == kProbeStarting) {
      if (running && startTicks < kMaxStartTicks) {
        running = system.AwaitProbe(worker, 1);
        ++startTicks;
      } else if (GiveUpProbe(phase, kProbeStarting)) {
        return current;
      }  // else it entered its call in that moment: look again
      continue;
    }
    if (now == kProbeLeftCall) continue;
    if (now != call) call = now, WaitTicks = 0;
    if (running && WaitTicks < kMaxWaitTicks) {
      running = system.AwaitProbe(worker, 1);
      ++WaitTicks;
    } else if (GiveUpProbe(phase, now)) {
      system.KillWorker(worker);
      return current;
    }  // else the worker left or moved on in that moment: look again
  }
}

ProbeWorker::~ProbeWorker() {
  if (worker_ != 0) system_.EndProbeWorker(worker_);
}

WaitResult ProbeWorker::Ask(ProbeKind kind, const std::shared_ptr<ProbeStorage>& storage) {
  return AskAll(kind, ProbeTrip{storage}).front();
}

std::vector<WaitResult> ProbeWorker::AskAll(ProbeKind kind, const ProbeTrip& questions) {
  std::vector<WaitResult> results(questions.size(), WaitResult::Abandoned);
  size_t next = 0;
  while (next < questions.size()) {
    if (worker_ == 0) worker_ = system_.StartProbeWorker();
    if (worker_ == 0) break;  // no thread: the rest stay abandoned
    const size_t end = next + kMaxTripQuestions < questions.size() ? next + kMaxTripQuestions : questions.size();
    const ProbeTrip trip(questions.begin() + static_cast<std::ptrdiff_t>(next), questions.begin() + static_cast<std::ptrdiff_t>(end));
    system_.AskProbe(worker_, kind, trip);
    const size_t finished = WaitOrKillWorker(system_, worker_, trip);
    for (size_t i = 0; i < finished; ++i) results[next + i] = WaitResult::Finished;
    next += finished;
    if (next == end) continue;
    // Killed, given up or gone: the system layer keeps what it may still touch until its end.
    // The worker goes no further than the abandoned question, so the ones after it are new.
    system_.EndProbeWorker(worker_);
    worker_ = 0;
    ++next;
  }
  return results;
}

}  // namespace lurvik
