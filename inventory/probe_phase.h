// The phase a probe worker is in, shared between the probe and the scan through its storage.
// Both sides change it only by atomic compare-and-exchange, so the probe and the scan always
// agree on who decided first: the probe entering or leaving its call, or the scan giving up.
// The probe side allocates nothing and takes no lock: it may be terminated right after.
#pragma once
#include <atomic>
#include <cstdint>

namespace lurvik {

enum ProbePhase : int32_t {
  kProbeStarting = 0,  // the thread exists but has not reached its system call
  kProbeInCall = 1,    // inside its one system call: the only phase in which it may be killed
  kProbeLeftCall = 2,  // its result is complete; the thread may still be ending
  kProbeGivenUp = 3,   // the scan gave up on it; the probe must not go on to its call or its end
};

using ProbePhaseCell = std::atomic<int32_t>;

// The probe, right before its call. False when the scan gave up on it while it was starting:
// the probe then returns without making the call (its handle may already be closed).
inline bool EnterProbeCall(ProbePhaseCell& phase) {
  int32_t expected = kProbeStarting;
  return phase.compare_exchange_strong(expected, kProbeInCall);
}

// The probe, right after its call. False when the scan has claimed it for termination while
// it was inside: the probe must then wait to be terminated instead of ending its thread.
inline bool LeaveProbeCall(ProbePhaseCell& phase) {
  int32_t expected = kProbeInCall;
  return phase.compare_exchange_strong(expected, kProbeLeftCall);
}

// The scan: gives the probe up if it is still in phase `from`. True when the scan won.
inline bool GiveUpProbe(ProbePhaseCell& phase, int32_t from) {
  return phase.compare_exchange_strong(from, kProbeGivenUp);
}

}  // namespace lurvik
