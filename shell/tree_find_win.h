// Find in the tree: the system's find dialog (modeless, owned by the main window), F3 and
// Shift+F3 without it, and the selection of what was found.
#pragma once
#include <windows.h>

#include "shell/node_search.h"

namespace lurvik {

// Opens the find dialog, or brings it forward when it is open.
void OpenFindDialog();
// F3 (down) and Shift+F3 (up): the last search again; the dialog when nothing was searched yet.
void RepeatFind(bool down);
// Selects the next match from the selected node (see FindNode); beeps when there is none and
// leaves the selection as it is.
void FindInTree(const NodeSearch& search);
// Ends the highlight of a node found while the dialog had the focus (the tree got it back).
void EndFoundHighlight();
// The main window's part of the dialog: true for the dialog's registered message. Only the
// program's own dialog record is read, and only when lParam names it while the dialog is open.
// A search is made only for the dialog's send from this thread: one made inside another
// thread's send (another program's WM_COMMAND to the dialog), and one made anew, do nothing.
bool TakeFindMessage(UINT message, LPARAM lParam, bool fromOwnThread);

}  // namespace lurvik
