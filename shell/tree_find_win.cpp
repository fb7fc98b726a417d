// The find dialog (FindTextA) and its searches over the kept nodes.
#include "shell/tree_find_win.h"

#include <commctrl.h>
#include <commdlg.h>

#include "shell/app_state.h"
#include "shell/tree_selection_win.h"
#include "toolkit/text.h"
#include "toolkit/window_layer_win.h"

namespace lurvik {

namespace {

// The dialog's record and text; they must live as long as the dialog.
FINDREPLACEA Dialog;
char SearchedText[256];
DWORD DialogOptions = FR_DOWN;  // direction, letter case and whole words, as last set
HWND DialogWindow = nullptr;
const UINT FindMessage = RegisterWindowMessageA(FINDMSGSTRINGA);

NodeSearch LastSearch;
bool Searched = false;

bool IsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

}  // namespace

void OpenFindDialog() {
  if (DialogWindow != nullptr) {
    SetActiveWindow(DialogWindow);
    return;
  }
  Dialog = FINDREPLACEA();
  Dialog.lStructSize = sizeof Dialog;
  Dialog.hwndOwner = WindowHandle(MainWindow);
  Dialog.Flags = DialogOptions;
  Dialog.lpstrFindWhat = SearchedText;
  Dialog.wFindWhatLen = sizeof SearchedText;
  DialogWindow = FindTextA(&Dialog);
  SetModelessDialog(DialogWindow);
}

void RepeatFind(bool down) {
  if (!Searched) return OpenFindDialog();
  NodeSearch search = LastSearch;
  search.down = down;
  FindInTree(search);
}

void FindInTree(const NodeSearch& search) {
  TextMatcher matcher(search.text, search.matchCase, search.wholeWord, IsLeadByte);
  const NodeNumber found = FindNode(KeptTreeNodes, SelectedKeptNode(), matcher, search.down);
  if (found == 0) {
    MessageBeep(MB_OK);
    return;
  }
  // The tree's style has no TVS_SHOWSELALWAYS, so its selection is not drawn while the dialog
  // has the focus: the found node is made the drop target, drawn highlighted, until the tree
  // gets the focus back (before it is selected: Wine ignores any selection of the selected
  // item). Found without the dialog, the tree takes the focus.
  HWND tree = reinterpret_cast<HWND>(HandleTree);
  if (DialogWindow != nullptr) SendMessageA(tree, TVM_SELECTITEM, TVGN_DROPHILITE, KeptTreeNodes.Item(found));
  SelectKeptNode(found);
  if (DialogWindow == nullptr) SetFocus(tree);
}

void EndFoundHighlight() { SendMessageA(reinterpret_cast<HWND>(HandleTree), TVM_SELECTITEM, TVGN_DROPHILITE, 0); }

bool TakeFindMessage(UINT message, LPARAM lParam, bool fromOwnThread) {
  if (FindMessage == 0 || message != FindMessage) return false;
  // Not our open dialog's: nothing read.
  if (lParam != reinterpret_cast<LPARAM>(&Dialog) || DialogWindow == nullptr) return true;
  // The dialog sets one of these bits right before each of its sends. Taken, they are cleared,
  // so the message posted again later by another program finds nothing to do.
  const DWORD flags = Dialog.Flags;
  Dialog.Flags &= ~(FR_FINDNEXT | FR_DIALOGTERM);
  DialogOptions = flags & (FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD);
  if (flags & FR_DIALOGTERM) {  // the dialog ends, whoever closed it
    DialogWindow = nullptr;
    SetModelessDialog(nullptr);
    if (fromOwnThread) SetFocus(reinterpret_cast<HWND>(HandleTree));
  } else if ((flags & FR_FINDNEXT) && fromOwnThread) {
    LastSearch = {FixedFieldText(SearchedText, sizeof SearchedText), (flags & FR_DOWN) != 0, (flags & FR_MATCHCASE) != 0,
                  (flags & FR_WHOLEWORD) != 0};
    Searched = true;
    FindInTree(LastSearch);
  }
  return true;
}

}  // namespace lurvik
