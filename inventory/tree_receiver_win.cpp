// The tree view's subclass procedure, the announced hand-over of a batch and the insertion of
// its nodes.
#include "inventory/tree_receiver_win.h"

#include <commctrl.h>
#include <ntsecapi.h>

#include <atomic>

#include "inventory/kept_nodes.h"

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
std::atomic<const TreeNodeDelivery*> AnnouncedDelivery{nullptr};
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

LRESULT CALLBACK TreeReceiverProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kInsertTreeNodesMessage) return CallWindowProcA(TreeProcedure, tree, message, wParam, lParam);
  // Compared as numbers; only the announced pointer, which is the scan's own, is followed, and
  // only for the message that also carries its key.
  const TreeNodeDelivery* announced = AnnouncedDelivery.load();
  if (announced == nullptr || reinterpret_cast<LPARAM>(announced) != lParam || AnnouncedKey.load() != wParam ||
      !AnnouncedDelivery.compare_exchange_strong(announced, nullptr))
    return 0;
  InsertTreeNodes(tree, *announced);
  KeptTreeNodes.Keep(*announced->batch, announced->items, announced->itemCount);  // for find and copy
  return 1;
}

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
// this very message, and its insertion is over when the send returns. (Without the key a
// foreign message of the right address, served nested inside the insert path, could take it,
// and the scan would reuse the batch while the outer insert still read it.) A tree without
// the receiver, or a window already destroyed, leaves the announcement standing.
bool SendTreeNodeDelivery(HWND tree, const TreeNodeDelivery& delivery) {
  const WPARAM key = NextDeliveryKey();
  AnnouncedKey.store(key);
  AnnouncedDelivery.store(&delivery);
  SendMessageA(tree, kInsertTreeNodesMessage, key, reinterpret_cast<LPARAM>(&delivery));
  return AnnouncedDelivery.exchange(nullptr) == nullptr;
}

// Each node is appended as the last child of the item its parent number stands for (the root
// for 0, and for a parent the control refused, whose item is 0). The texts stay in the batch;
// the control copies each during its insert.
void InsertTreeNodes(HWND tree, const TreeNodeDelivery& delivery) {
  const TreeNodeBatch& batch = *delivery.batch;
  TVINSERTSTRUCTA record = {};
  record.hInsertAfter = TVI_LAST;
  record.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  record.item.cChildren = 1;
  size_t number = batch.firstNumber;
  for (const TreeNodeBatch::Node& node : batch.nodes) {
    const uintptr_t parent = node.parent < delivery.itemCount ? delivery.items[node.parent] : 0;
    record.hParent = reinterpret_cast<HTREEITEM>(parent);
    record.item.pszText = const_cast<char*>(batch.texts.data() + node.textOffset);
    record.item.cchTextMax = static_cast<int>(node.textLength);
    record.item.iImage = node.image;
    record.item.iSelectedImage = node.image;
    const LRESULT item = SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&record));
    if (number < delivery.itemCount) delivery.items[number] = static_cast<uintptr_t>(item);
    ++number;
  }
}

}  // namespace lurvik
