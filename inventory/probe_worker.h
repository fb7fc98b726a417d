// The scan's probe worker: one thread, reused for every hang-prone question of a scan, waited
// for with a bound and killed only inside its call. A thread start costs milliseconds (more
// under Wine) and a scan asks a question for most handles, so the worker is started once and
// handed question after question; a new one is started only after a kill or a give-up.
#pragma once
#include <cstdint>
#include <memory>

#include "inventory/inventory_system.h"

namespace lurvik {

enum class WaitResult { Finished, Abandoned };

constexpr int32_t kMaxWaitTicks = 50;
constexpr int32_t kMaxStartTicks = 2000;

// Waits for a question by the phase in its storage, in pauses that end early when the worker
// leaves its call. The bounds below are counts of pauses, not times: a pause is asked for
// 1 ms, but lasts longer where the system's timer is coarse, and much longer under Wine. A question not yet entered (a worker still starting or not yet
// back from its last question) is waited for up to 2,000 pauses and then given up without a
// kill; a worker inside a call gets at most 50 pauses in that call and is killed when it is
// still inside. Finished means the worker has left its last call and the results are
// complete; after Abandoned, FirstProbeCallAnswered says whether the first call's result
// counts. Worker 0 (never started) is abandoned at once.
WaitResult WaitOrKillWorker(InventorySystem& system, int32_t worker, ProbeStorage& storage);

class ProbeWorker {
 public:
  explicit ProbeWorker(InventorySystem& system) : system_(system) {}
  ~ProbeWorker();  // tells the worker to end; the system layer waits for its thread
  ProbeWorker(const ProbeWorker&) = delete;
  ProbeWorker& operator=(const ProbeWorker&) = delete;

  // Asks one question on the worker, starting one when there is none, and waits for it. A
  // worker that was killed or given up is not asked again: the next question starts anew.
  WaitResult Ask(ProbeKind kind, const std::shared_ptr<ProbeStorage>& storage);

 private:
  InventorySystem& system_;
  int32_t worker_ = 0;
};

}  // namespace lurvik
