// CopySelectedSubtree: the subtree's text from the kept nodes, into one movable global block on
// the clipboard; a copy that cannot be made beeps.
#include "shell/tree_copy_win.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "shell/app_state.h"
#include "shell/subtree_text.h"
#include "shell/tree_selection_win.h"
#include "toolkit/window_layer_win.h"

namespace lurvik {

namespace {

// A clipboard viewer that was told of a change opens the clipboard for a moment to read it.
constexpr DWORD kClipboardRetryPause = 50;

bool OpenClipboardOrRetry(HWND owner) {
  if (OpenClipboard(owner)) return true;
  Sleep(kClipboardRetryPause);
  return OpenClipboard(owner) != 0;
}

bool PutOnClipboard(const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (block == nullptr) return false;
  char* bytes = static_cast<char*>(GlobalLock(block));
  if (bytes == nullptr) return GlobalFree(block), false;
  std::memcpy(bytes, text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!OpenClipboardOrRetry(WindowHandle(MainWindow))) return GlobalFree(block), false;
  EmptyClipboard();
  const bool put = SetClipboardData(CF_TEXT, block) != nullptr;  // then the system owns the block
  if (!put) GlobalFree(block);
  CloseClipboard();
  return put;
}

}  // namespace

void CopySelectedSubtree() {
  std::string text;
  try {
    text = SubtreeText(KeptTreeNodes, SelectedKeptNode());
  } catch (const std::bad_alloc&) {
    return void(MessageBeep(MB_OK));  // no room for the text: the clipboard stays as it is
  }
  if (!text.empty() && !PutOnClipboard(text)) MessageBeep(MB_OK);
}

}  // namespace lurvik
