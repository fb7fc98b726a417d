// The tree view's subclass procedure, the announced hand-over of a batch, and the insertion of
// finished nodes into the control in slices.
#include "inventory/tree_receiver_win.h"

#include <commctrl.h>
#include <ntsecapi.h>

#include <atomic>
#include <cstring>

#include "shell/app_state.h"

namespace lurvik {

namespace {

// The tree view's own procedure, written once before the first scan and read only by the
// main thread, which owns the tree.
WNDPROC TreeProcedure;

// The delivery the scan is sending, or null. The scan sets it before its send and clears it
// after; the receiver takes it by exchange, so each delivery is inserted at most once, even
// when a foreign message happens to carry the same address and key. While it is set, the
// delivery lives on the scan thread's stack with that thread blocked in its send; the scan
// thread is never terminated, and at the process end no main-thread code serves messages any
// more.
std::atomic<TreeNodeDelivery*> AnnouncedDelivery{nullptr};
// The key of the announced delivery. The scan writes it before it announces the delivery, and
// the receiver reads it after it has read the announcement, so it belongs to that delivery.
std::atomic<WPARAM> AnnouncedKey{0};

// Drawn once on the main thread before the first scan thread starts, read by the scans.
WPARAM DeliverySecret;
std::atomic<WPARAM> DeliveryCount{0};

// The system's random source (RtlGenRandom, in advapi32 since XP); should it fail, values that
// at least differ from run to run and from process to process.
WPARAM DrawDeliverySecret() {
  WPARAM secret = 0;
  if (RtlGenRandom(&secret, sizeof secret)) return secret;
  LARGE_INTEGER counter = {};
  QueryPerformanceCounter(&counter);
  return static_cast<WPARAM>(counter.QuadPart) ^ (static_cast<WPARAM>(GetCurrentProcessId()) << 16) ^ GetTickCount();
}

// A new key for each delivery: the secret mixed with the delivery's count (an odd multiplier,
// so no two counts of one run give the same key).
WPARAM NextDeliveryKey() {
  constexpr WPARAM kMix = sizeof(WPARAM) == 8 ? static_cast<WPARAM>(0x9E3779B97F4A7C15ull) : static_cast<WPARAM>(0x9E3779B9u);
  return DeliverySecret ^ (DeliveryCount.fetch_add(1) * kMix);
}

// Where the main thread stands in inserting the window's model; main thread only.
TreeInsertion WindowInsertion;

// A slice ends once it has lasted 30 ms (looked at every 64 inserts): under Wine at 70,000
// handles an insert costs about 30 us, so a slice stays well under 50 ms.
constexpr LONGLONG kSliceMilliseconds = 30;

LRESULT CALLBACK TreeReceiverProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kInsertTreeNodesMessage) return CallWindowProcA(TreeProcedure, tree, message, wParam, lParam);
  // Compared as numbers; only the announced pointer, which is the scan's own, is followed, and
  // only for the message that also carries its key.
  TreeNodeDelivery* announced = AnnouncedDelivery.load();
  if (announced == nullptr || reinterpret_cast<LPARAM>(announced) != lParam || AnnouncedKey.load() != wParam ||
      !AnnouncedDelivery.compare_exchange_strong(announced, nullptr))
    return 0;
  LARGE_INTEGER frequency = {}, start = {};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const auto sliceOver = [&] {
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    return (now.QuadPart - start.QuadPart) * 1000 >= kSliceMilliseconds * frequency.QuadPart;
  };
  announced->insertionLeft = !HoldAndInsert(tree, KeptTreeNodes, WindowInsertion, *announced->batch, sliceOver);
  announced->windowBusy = HIWORD(GetQueueStatus(QS_ALLEVENTS)) != 0;
  return 1;
}

// The control behind TreeControl: one TVM_INSERTITEMA per node, same-thread on the main thread
// (the receiver), across the threads from the scan (the fallback). The control copies the text.
class TreeViewControl : public TreeControl {
 public:
  explicit TreeViewControl(HWND tree) : tree_(tree) {
    record_.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    record_.item.cChildren = 1;
  }
  uintptr_t Insert(uintptr_t parentItem, InsertPlace place, const char* text, int32_t image) override {
    record_.hParent = reinterpret_cast<HTREEITEM>(parentItem);
    record_.hInsertAfter = place == InsertPlace::First ? TVI_FIRST : TVI_LAST;
    record_.item.pszText = const_cast<char*>(text);
    record_.item.cchTextMax = static_cast<int>(std::strlen(text));
    record_.item.iImage = image;
    record_.item.iSelectedImage = image;
    return static_cast<uintptr_t>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&record_)));
  }

 private:
  HWND tree_;
  TVINSERTSTRUCTA record_ = {};
};

}  // namespace

bool InstallTreeReceiver(HWND tree) {
  if (tree == nullptr) return false;
  DeliverySecret = DrawDeliverySecret();
  TreeProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(tree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeReceiverProcedure)));
  return TreeProcedure != nullptr;
}

// The delivery is taken exactly when the announcement is gone after the send. Only a message
// with the delivery's key can take it, and only this send carries that key; so the taker is
// this very message, and its slice of work is over when the send returns. (Without the key a
// foreign message of the right address, served nested inside the insert path, could take it,
// and the scan would reuse the batch while the outer insert still read it.) A tree without
// the receiver, or a window already destroyed, leaves the announcement standing.
bool SendTreeNodeDelivery(HWND tree, TreeNodeDelivery& delivery) {
  const WPARAM key = NextDeliveryKey();
  AnnouncedKey.store(key);
  AnnouncedDelivery.store(&delivery);
  SendMessageA(tree, kInsertTreeNodesMessage, key, reinterpret_cast<LPARAM>(&delivery));
  return AnnouncedDelivery.exchange(nullptr) == nullptr;
}

// A batch numbered from 1 starts a new scan's tree. A node the model could not hold is missing
// from it, as a node the control refused is missing from the tree.
bool HoldAndInsert(HWND tree, TreeModel& model, TreeInsertion& insertion, const TreeNodeBatch& batch,
                   const std::function<bool()>& sliceOver) {
  if (batch.firstNumber == 1 && !batch.nodes.empty()) {
    model.Clear();
    insertion.Reset();
  }
  NodeNumber number = batch.firstNumber;
  for (const TreeNodeBatch::Node& node : batch.nodes) {
    const std::string_view text = node.textOffset <= batch.texts.size()
                                      ? std::string_view(batch.texts).substr(node.textOffset, node.textLength)
                                      : std::string_view();
    model.Add(number++, text, node.parent, node.image);
  }
  if (batch.finishes) insertion.Finish(number - 1);
  TreeViewControl control(tree);
  return insertion.Run(model, control, sliceOver);
}

}  // namespace lurvik
