// The probe worker thread and its mailbox. A trip of questions is handed over by two
// auto-reset events: the scan posts it and sets `asked`; the worker answers its questions in
// turn and sets `answered`, which ends the scan's pause at once instead of at the end of a
// whole millisecond. Each side sets its event and waits for the other's in one call to the
// system (SignalObjectAndWait): under Wine every such call is a round trip to the server, and
// a trip to the worker took four of them with separate calls. The questions of a trip share
// that hand-over: a stretch of files costs two such calls, not two per file.
#include "inventory/probe_worker_win.h"

#include "toolkit/timer_resolution_win.h"
#include "toolkit/workers_win.h"

namespace lurvik {

namespace {

// The worker's loop. Between trips it waits in the system for the next one, and between two
// questions of a trip it runs only this loop; a kill is never aimed at it in either place,
// only inside a question's call (the question's phase says which). A question found given up
// ends the trip: the scan has left the ones after it to another worker. The count is read
// once per trip; after the last question the trip's storage is not read again, so the scan,
// which sees that question's end by its phase, may free it at once.
DWORD WINAPI ProbeWorkerLoop(void* parameter) {
  auto* mailbox = static_cast<ProbeWorkerThreads::Mailbox*>(parameter);
  DWORD waited = WaitForSingleObject(mailbox->asked.Get(), INFINITE);
  while (waited == WAIT_OBJECT_0 && !mailbox->ending.load()) {
    const LPTHREAD_START_ROUTINE procedure = mailbox->procedure.load();
    const size_t count = mailbox->questionCount.load();
    for (size_t i = 0; i < count && procedure(mailbox->questions[i].load()) != 0; ++i) {
    }
    waited = SignalObjectAndWait(mailbox->answered.Get(), mailbox->asked.Get(), INFINITE, FALSE);
  }
  return 0;
}

}  // namespace

ProbeWorkerThreads::~ProbeWorkerThreads() { End(worker_); }

int32_t ProbeWorkerThreads::Start() {
  End(worker_);
  keeper_.ReleaseEnded();
  std::shared_ptr<Mailbox> mailbox;
  try {
    mailbox = std::make_shared<Mailbox>();
  } catch (...) {
    return 0;
  }
  mailbox->asked = SystemHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  mailbox->answered = SystemHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!mailbox->asked || !mailbox->answered) return 0;
  const int32_t worker = StartWorker(ProbeWorkerLoop, mailbox.get());
  if (worker == 0) return 0;
  worker_ = worker;
  thread_ = SystemHandle(DuplicateWorkerThreadHandle(worker));
  mailbox_ = std::move(mailbox);
  return worker;
}

void ProbeWorkerThreads::Ask(int32_t worker, ProbeKind kind, ProbeTrip trip) {
  // A trip the mailbox cannot hold, or with a question missing, stays unentered.
  if (worker == 0 || worker != worker_ || trip.empty() || trip.size() > kMaxTripQuestions) return;
  for (const auto& question : trip)
    if (!question) return;
  // The worker is back from its last trip (the phases said so), so the old storage can go.
  mailbox_->heldTrip = std::move(trip);
  for (size_t i = 0; i < mailbox_->heldTrip.size(); ++i) mailbox_->questions[i].store(mailbox_->heldTrip[i].get());
  mailbox_->questionCount.store(mailbox_->heldTrip.size());
  mailbox_->procedure.store(kind == ProbeKind::File ? procedures_.file : procedures_.objectName);
  posted_ = true;  // `asked` is set by the first pause, together with its wait
}

void ProbeWorkerThreads::AskHere(ProbeKind kind, ProbeStorage& storage) const {
  (kind == ProbeKind::File ? procedures_.file : procedures_.objectName)(&storage);
}

bool ProbeWorkerThreads::Await(int32_t worker, uint32_t milliseconds) {
  if (worker == 0 || worker != worker_ || mailbox_->heldTrip.empty()) return false;
  const HANDLE handles[2] = {mailbox_->answered.Get(), thread_.Get()};
  const DWORD count = thread_ ? 2 : 1;
  RaiseTimerResolution();
  const DWORD started = MillisecondClock();
  DWORD result = WAIT_TIMEOUT;
  for (;;) {
    const DWORD spent = MillisecondClock() - started;
    const DWORD left = spent < milliseconds ? milliseconds - spent : 0;
    // A question just posted: `asked` is set and `answered` waited for in one call. That wait
    // leaves the thread out; a thread that has ended is seen by the next pause.
    result = posted_ ? SignalObjectAndWait(mailbox_->asked.Get(), handles[0], left, FALSE)
                     : WaitForMultipleObjects(count, handles, FALSE, left);
    posted_ = false;
    // The worker sets `answered` once per trip. When the scan saw the last trip's end by the
    // phases before the worker set the event, that signal is still pending; it is not this
    // trip's end, so the pause goes on for what is left of it.
    if (result != WAIT_OBJECT_0 || mailbox_->heldTrip.back()->phase.load() == kProbeLeftCall) break;
    if (MillisecondClock() - started >= milliseconds) break;
  }
  if (result == WAIT_FAILED) Sleep(milliseconds);  // still a pause, so the bounds keep their length
  RestoreTimerResolution();
  if (result == WAIT_OBJECT_0 + 1) return false;
  return thread_ || IsWorkerRunning(worker) != 0;
}

void ProbeWorkerThreads::Kill(int32_t worker) {
  if (worker == 0 || worker != worker_) return;
  Retire(true);
  KillWorker(worker);
}

void ProbeWorkerThreads::End(int32_t worker) {
  if (worker == 0 || worker != worker_) return;
  posted_ = false;
  mailbox_->ending.store(true);
  SetEvent(mailbox_->asked.Get());
  Retire(false);
}

// The keeper holds the mailbox, and with it the last question, until the thread has ended.
void ProbeWorkerThreads::Retire(bool killed) {
  keeper_.Track(worker_, thread_.Release(), std::move(mailbox_));
  if (killed) keeper_.MarkKilled(worker_);
  worker_ = 0;
}

}  // namespace lurvik
