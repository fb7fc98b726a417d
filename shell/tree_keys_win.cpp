// The subclass procedures that take the keys of find and copy before the controls see them,
// and that act only for the program itself.
#include "shell/tree_keys_win.h"

#include "shell/tree_copy_win.h"
#include "shell/tree_find_win.h"

namespace lurvik {

namespace {

WNDPROC MainProcedure;  // the procedures under ours, written once at start-up
WNDPROC TreeProcedure;
HWND Tree;
bool OwnCopySent = false;  // true while the keys' own WM_COPY is being sent to the tree

// Whether the message comes from this thread: posted (as keys are) or sent by it. One sent
// by another thread or program, also one that arrives while this thread waits in a send of
// its own, is not.
bool FromOwnThread() { return InSendMessageEx(nullptr) == ISMEX_NOSEND; }

// Ctrl+C and Ctrl+Insert send the tree WM_COPY, which it acts on only inside this send: a
// WM_COPY that another program sends or posts leaves the clipboard as it is.
void SendOwnCopy() {
  OwnCopySent = true;
  SendMessageA(Tree, WM_COPY, 0, 0);
  OwnCopySent = false;
}

// True when the message was one of the keys (or the character a Ctrl key makes of it, which
// the tree would take as the start of an item's name).
bool TakeKey(UINT message, WPARAM key) {
  if (message == WM_CHAR) return key == 'C' - '@' || key == 'F' - '@';
  if (message != WM_KEYDOWN || GetKeyState(VK_MENU) < 0 || !FromOwnThread()) return false;
  const bool control = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
  if (key == VK_F3 && !control) RepeatFind(!shift);
  else if (control && !shift && key == 'F') OpenFindDialog();
  else if (control && !shift && (key == 'C' || key == VK_INSERT)) SendOwnCopy();
  else return false;
  return true;
}

LRESULT CALLBACK MainKeysProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (TakeFindMessage(message, lParam, FromOwnThread()) || TakeKey(message, wParam)) return 0;
  return CallWindowProcA(MainProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK TreeKeysProcedure(HWND tree, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPY) {
    if (OwnCopySent && FromOwnThread()) CopySelectedSubtree();
    return 0;
  }
  if (message == WM_SETFOCUS) EndFoundHighlight();
  if (TakeKey(message, wParam)) return 0;
  return CallWindowProcA(TreeProcedure, tree, message, wParam, lParam);
}

WNDPROC Subclass(HWND window, WNDPROC procedure) {
  return reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

}  // namespace

void InstallTreeKeys(HWND main, HWND tree) {
  if (main == nullptr || tree == nullptr) return;
  Tree = tree;
  MainProcedure = Subclass(main, MainKeysProcedure);
  TreeProcedure = Subclass(tree, TreeKeysProcedure);
}

}  // namespace lurvik
