// The file questions of a stretch of the walk, asked in one trip to the probe worker. Each
// file question is a hand-over to the worker and back, which under Wine is a round of server
// calls and on Windows a pair of thread switches; asked one by one, that hand-over cost more
// than the questions themselves. So at a file entry the walk looks ahead over the coming
// entries of the same process, duplicates the file handles among them and hands all their
// questions over at once. The worker answers them one after another, each call with its own
// bound; the entries are still resolved and put out one by one in snapshot order, so the log
// and the tree are those of files asked in turn.
#pragma once
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "inventory/handle_snapshot.h"
#include "inventory/inventory_system.h"
#include "inventory/probe_worker.h"

namespace lurvik {

struct ScanState;

// A stretch ends after this many entries, and at a change of process.
constexpr uint64_t kFileStretchEntries = kMaxTripQuestions;

// One file entry of the stretch: its handle copy and its answered question.
struct PreparedFile {
  SysHandle duplicate = 0;                 // 0: the handle could not be duplicated
  std::shared_ptr<ProbeStorage> question;  // null: nothing was asked
  WaitResult answered = WaitResult::Abandoned;
};

class FileStretch {
 public:
  explicit FileStretch(InventorySystem& system) : system_(system) {}
  ~FileStretch() { Clear(); }  // closes the copies not taken
  FileStretch(const FileStretch&) = delete;
  FileStretch& operator=(const FileStretch&) = delete;

  // The copy and the answered question of the file entry `index` of the snapshot; the caller
  // then owns the copy. An entry the current stretch does not hold starts a new stretch there.
  PreparedFile Take(ScanState& state, const HandleSnapshot& snapshot, uint64_t index);

 private:
  void Prepare(ScanState& state, const HandleSnapshot& snapshot, uint64_t index);
  void Clear();

  InventorySystem& system_;
  std::vector<std::pair<uint64_t, PreparedFile>> files_;  // by entry index, in snapshot order
  size_t next_ = 0;                                       // the first one not taken
};

}  // namespace lurvik
