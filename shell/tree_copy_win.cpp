// CopySelectedSubtree: the subtree's text from the kept nodes, into one movable global block.
#include "shell/tree_copy_win.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "shell/app_state.h"
#include "shell/subtree_text.h"
#include "shell/tree_selection_win.h"
#include "toolkit/window_layer_win.h"

namespace lurvik {

void CopySelectedSubtree() {
  std::string text;
  try {
    text = SubtreeText(KeptTreeNodes, SelectedKeptNode());
  } catch (const std::bad_alloc&) {
    return;  // no room for the text: the clipboard stays as it is
  }
  if (text.empty()) return;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (block == nullptr) return;
  char* bytes = static_cast<char*>(GlobalLock(block));
  if (bytes == nullptr) return void(GlobalFree(block));
  std::memcpy(bytes, text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!OpenClipboard(WindowHandle(MainWindow))) return void(GlobalFree(block));
  EmptyClipboard();
  if (SetClipboardData(CF_TEXT, block) == nullptr) GlobalFree(block);  // else the system owns it
  CloseClipboard();
}

}  // namespace lurvik
