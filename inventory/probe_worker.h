// The scan's probe worker: one thread, reused for every hang-prone question of a scan, waited
// for with a bound and killed only inside its call. A thread start costs milliseconds (more
// under Wine) and a scan asks a question for most handles, so the worker is started once and
// handed trip after trip of questions; a new one is started only after a kill or a give-up.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "inventory/inventory_system.h"

namespace lurvik {

enum class WaitResult { Finished, Abandoned };

constexpr int32_t kMaxWaitTicks = 50;
constexpr int32_t kMaxStartTicks = 2000;

// Waits for the questions of one trip, in their order, by the phases in their storage, in
// pauses that end early when the worker is back from its trip. The bounds below are counts
// of pauses, not times: a pause is asked for 1 ms, but lasts longer where the system's timer
// is coarse, and much longer under Wine. A question not yet entered (a worker still starting,
// not yet back from its last trip, or between two questions) is waited for up to 2,000
// pauses and then given up without a kill; a worker inside a call gets at most 50 pauses in
// that call, counted from the first look that finds it there, and is killed when it is still
// inside. Returns how many questions, from the first, finished: the worker has left their
// last calls and their results are complete. The question after them, if any, was abandoned;
// FirstProbeCallAnswered and SecondProbeCallAnswered say which of its calls' results count. The worker never
// touches the questions after an abandoned one. Worker 0 (never started) abandons the first.
size_t WaitOrKillWorker(InventorySystem& system, int32_t worker, const ProbeTrip& trip);

class ProbeWorker {
 public:
  explicit ProbeWorker(InventorySystem& system) : system_(system) {}
  ~ProbeWorker();  // tells the worker to end; the system layer waits for its thread
  ProbeWorker(const ProbeWorker&) = delete;
  ProbeWorker& operator=(const ProbeWorker&) = delete;

  // Asks one question on the worker, starting one when there is none, and waits for it. A
  // worker that was killed or given up is not asked again: the next question starts anew.
  WaitResult Ask(ProbeKind kind, const std::shared_ptr<ProbeStorage>& storage);
  // Asks the questions in trips of at most kMaxTripQuestions and gives each its result. After
  // an abandoned question the ones that follow go to a new worker, in a trip of their own.
  std::vector<WaitResult> AskAll(ProbeKind kind, const ProbeTrip& questions);

 private:
  InventorySystem& system_;
  int32_t worker_ = 0;
};

}  // namespace lurvik
