// CopySelectedSubtree: the subtree's text from the kept nodes, into one movable global block.
#include "shell/tree_copy_win.h"

#include <windows.h>

#include <cstring>

#include "shell/subtree_text.h"
#include "shell/tree_selection_win.h"
#include "shell/app_state.h"
#include "toolkit/window_layer_win.h"

namespace lurvik {

void CopySelectedSubtree() {
  const std::string text = SubtreeText(KeptTreeNodes, SelectedKeptNode());
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
