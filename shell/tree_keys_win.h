// The keys of find and copy: Ctrl+F, F3, Shift+F3, Ctrl+C and Ctrl+Insert, taken by the tree's
// subclass and by the main window's when the focus is elsewhere in it. The window layer's
// accelerator table (Tab, Shift+Tab) stays as it is.
#pragma once
#include <windows.h>

namespace lurvik {

// Subclasses the main window (keys and the find dialog's message) and the tree (keys and
// WM_COPY); called once at start-up, after the tree's receiver is installed. Keys sent by
// another thread, and a WM_COPY that the keys did not send, do nothing.
void InstallTreeKeys(HWND main, HWND tree);

}  // namespace lurvik
