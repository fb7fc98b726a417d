// The probe worker threads of the Windows system layer. One thread at a time answers the
// scan's hang-prone questions in trips: it waits for a trip, answers its questions one after
// another (each enters its calls and leaves them), and reports that it is back. A thread that
// was killed, given up or told to end is handed to the ProbeKeeper with everything it may
// still touch.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "inventory/inventory_system.h"
#include "inventory/probe_keeper_win.h"
#include "toolkit/system_handle_win.h"

namespace lurvik {

// The two question procedures (ProbeKind::File and ProbeKind::ObjectName); each makes its
// system calls on the handle in its ProbeStorage, marks its phases there and writes only into
// that storage. Each returns 1 when it left its calls itself, 0 when it found the question
// given up before its first call: the worker then goes no further in its trip. Tests may put
// in procedures of their own.
struct ProbeProcedures {
  LPTHREAD_START_ROUTINE file;
  LPTHREAD_START_ROUTINE objectName;
};

class ProbeWorkerThreads {
 public:
  explicit ProbeWorkerThreads(ProbeProcedures procedures) : procedures_(procedures) {}
  ~ProbeWorkerThreads();  // ends the current worker; the keeper then waits for the threads
  ProbeWorkerThreads(const ProbeWorkerThreads&) = delete;
  ProbeWorkerThreads& operator=(const ProbeWorkerThreads&) = delete;

  int32_t Start();
  void Ask(int32_t worker, ProbeKind kind, ProbeTrip trip);
  bool Await(int32_t worker, uint32_t milliseconds);
  void Kill(int32_t worker);
  void End(int32_t worker);
  // Runs the question's procedure on the calling thread.
  void AskHere(ProbeKind kind, ProbeStorage& storage) const;
  // Threads whose storage is still held because they have not been seen to end.
  size_t TrackedCount() const { return keeper_.TrackedCount(); }

  // What the worker thread reads. It allocates nothing and takes no lock: it may be killed.
  // The scan writes a trip only while the worker waits for one (it is back from the last, or
  // not yet started), before it sets `asked`.
  struct Mailbox {
    SystemHandle asked;     // auto-reset: a trip (set with the scan's first pause for it), or the end
    SystemHandle answered;  // auto-reset: the worker is back from a trip
    std::atomic<ProbeStorage*> questions[kMaxTripQuestions] = {};
    std::atomic<size_t> questionCount{0};
    std::atomic<LPTHREAD_START_ROUTINE> procedure{nullptr};
    std::atomic<bool> ending{false};
    ProbeTrip heldTrip;  // the questions' storage; the worker never touches these references
  };

 private:
  void Retire(bool killed);

  ProbeProcedures procedures_;
  ProbeKeeper keeper_;
  int32_t worker_ = 0;  // the current worker, 0 when there is none
  SystemHandle thread_;  // a SYNCHRONIZE copy of its thread handle, or none
  std::shared_ptr<Mailbox> mailbox_;
  bool posted_ = false;  // a question was posted and `asked` is not yet set
};

}  // namespace lurvik
