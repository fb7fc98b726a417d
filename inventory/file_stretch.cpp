// FileStretch: the look-ahead, the duplication of a stretch's file handles and their questions
// in one trip. At most one stretch's copies and answers are held at a time.
#include "inventory/file_stretch.h"

#include "inventory/handle_resolution.h"
#include "inventory/hang_safe_queries.h"
#include "inventory/scan_state.h"
#include "inventory/type_table.h"

namespace lurvik {

PreparedFile FileStretch::Take(ScanState& state, const HandleSnapshot& snapshot, uint64_t index) {
  if (next_ >= files_.size() || files_[next_].first != index) Prepare(state, snapshot, index);
  if (next_ >= files_.size() || files_[next_].first != index) return PreparedFile();
  return std::exchange(files_[next_++].second, PreparedFile());
}

void FileStretch::Prepare(ScanState& state, const HandleSnapshot& snapshot, uint64_t index) {
  Clear();
  HandleEntry first;
  if (!snapshot.Entry(index, first)) return;
  ProbeTrip trip;
  std::vector<size_t> asked;  // the position in files_ of each question of the trip
  HandleEntry entry;
  for (uint64_t at = index; at - index < kFileStretchEntries && snapshot.Entry(at, entry); ++at) {
    if (entry.ownerPid != first.ownerPid) break;
    const TypeRow* row = ListedRowOf(entry);
    if (row == nullptr || row->UpperName != "FILE") continue;
    PreparedFile file;
    if (const SysHandle owner = OwnerProcess(state, entry.ownerPid))
      file.duplicate = DuplicateWithFallbacks(state.system, owner, entry.handleValue, *row);
    if (file.duplicate != 0) file.question = NewProbeQuestion(file.duplicate);
    if (file.question) {
      asked.push_back(files_.size());
      trip.push_back(file.question);
    }
    files_.emplace_back(at, std::move(file));
  }
  const std::vector<WaitResult> results = state.Probes.AskAll(ProbeKind::File, trip);
  for (size_t i = 0; i < asked.size(); ++i) files_[asked[i]].second.answered = results[i];
}

void FileStretch::Clear() {
  for (size_t i = next_; i < files_.size(); ++i)
    if (files_[i].second.duplicate != 0) system_.CloseHandle(files_[i].second.duplicate);
  files_.clear();
  next_ = 0;
}

}  // namespace lurvik
