// The phase a probe worker is in, shared between the probe and the scan through its storage.
// Both sides change it only by atomic compare-and-exchange, so the probe and the scan always
// agree on who decided first: the probe entering or leaving a call, or the scan giving up.
// The probe side allocates nothing and takes no lock: it may be terminated right after.
//
// A question makes up to three system calls in a row (a file's type, its name, and whether it
// is a folder). Its phases:
//   Starting -> InCall -> LeftCall                                     one call
//   Starting -> InCall -> InSecondCall -> LeftCall                     two calls
//   Starting -> InCall -> InSecondCall -> InThirdCall -> LeftCall      three calls
// and the scan may give up on it while it is Starting or in any call.
#pragma once
#include <atomic>
#include <cstdint>

namespace lurvik {

enum ProbePhase : int32_t {
  kProbeStarting = 0,  // the thread exists but has not reached its first system call
  kProbeInCall = 1,    // inside its (first) system call: it may be killed
  kProbeLeftCall = 2,  // every call made, its results complete; the thread may still be ending
  kProbeGivenUp = 3,   // the scan gave up before or in the first call: no result counts
  kProbeInSecondCall = 4,         // the first call's result is complete; inside the second call: it may be killed
  kProbeGivenUpInSecondCall = 5,  // the scan gave up in the second call: the first call's result counts
  kProbeInThirdCall = 6,          // the first two calls' results are complete; inside the third call
  kProbeGivenUpInThirdCall = 7,   // the scan gave up in the third call: the first two calls' results count
};

using ProbePhaseCell = std::atomic<int32_t>;

namespace probe_phase_detail {
inline bool Move(ProbePhaseCell& phase, int32_t from, int32_t to) { return phase.compare_exchange_strong(from, to); }
}  // namespace probe_phase_detail

// The probe, right before its first call. False when the scan gave up on it while it was
// starting: the probe then returns without making the call (its handle may already be closed).
inline bool EnterProbeCall(ProbePhaseCell& phase) { return probe_phase_detail::Move(phase, kProbeStarting, kProbeInCall); }

// The probe, after its first call's result is written and right before its second call. False
// when the scan has claimed it for termination in the first call: it must then wait to be
// terminated. Once this returns true the first call's result is the scan's to read.
inline bool EnterSecondProbeCall(ProbePhaseCell& phase) {
  return probe_phase_detail::Move(phase, kProbeInCall, kProbeInSecondCall);
}

// The probe, after its second call's result is written and right before its third call; false
// as above.
inline bool EnterThirdProbeCall(ProbePhaseCell& phase) {
  return probe_phase_detail::Move(phase, kProbeInSecondCall, kProbeInThirdCall);
}

// The probe, right after its last call (`call` is kProbeInCall, kProbeInSecondCall or
// kProbeInThirdCall). False
// when the scan has claimed it for termination while it was inside: the probe must then wait
// to be terminated instead of ending its thread or taking its next question.
inline bool LeaveProbeCall(ProbePhaseCell& phase, int32_t call = kProbeInCall) {
  return probe_phase_detail::Move(phase, call, kProbeLeftCall);
}

// The scan: gives the probe up if it is still in phase `from`. True when the scan won.
inline bool GiveUpProbe(ProbePhaseCell& phase, int32_t from) {
  const int32_t to = from == kProbeInSecondCall  ? kProbeGivenUpInSecondCall
                     : from == kProbeInThirdCall ? kProbeGivenUpInThirdCall
                                                 : kProbeGivenUp;
  return probe_phase_detail::Move(phase, from, to);
}

// The scan, after its wait: whether the first call's result is complete (every call was made,
// or the probe was given up only in a later call).
inline bool FirstProbeCallAnswered(const ProbePhaseCell& phase) {
  const int32_t now = phase.load();
  return now == kProbeLeftCall || now == kProbeGivenUpInSecondCall || now == kProbeGivenUpInThirdCall;
}

// The scan, after its wait: whether the second call's result is complete (every call was made,
// or the probe was given up only in its third call).
inline bool SecondProbeCallAnswered(const ProbePhaseCell& phase) {
  const int32_t now = phase.load();
  return now == kProbeLeftCall || now == kProbeGivenUpInThirdCall;
}

}  // namespace lurvik
