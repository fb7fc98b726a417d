// The toolkit's window layer: top-level windows named by numbers, their window procedure, and
// the per-thread reading of window events (WaitEvent). Child controls are created by the
// caller on the handle this layer hands out; the layer only hosts them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "toolkit/event_queue.h"

namespace lurvik {

// Style bits that belong to this layer and never reach the system.
constexpr uint32_t kWindowCentreOnScreen = 0x1;
constexpr uint32_t kWindowCentreOnActive = 0x2;
constexpr uint32_t kWindowToolWindow = 0x4;
constexpr uint32_t kWindowNoRuntimeControls = 0x8;
constexpr uint32_t kWindowStartHidden = 0x10000000;
// An x or y of this value (without a centring bit) asks for the system's default position.
constexpr int32_t kDefaultWindowPosition = -65535;
// Commands of the two Tab accelerators; they move the focus and raise no event.
constexpr int32_t kNextControlCommand = 64001;
constexpr int32_t kPreviousControlCommand = 64002;

// Opens a window whose client area is innerWidth x innerHeight; returns its number, 0 on failure.
intptr_t CreateAppWindow(int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                         const std::string& title, uint32_t style);
// The window's system handle; nullptr for a number that names no window.
HWND WindowHandle(intptr_t window);
int32_t WindowInnerWidth(intptr_t window);
// Client height plus one menu line when the window has a menu, so that the value stays the
// inner size the window was opened with.
int32_t WindowInnerHeight(intptr_t window);

// The next event of the calling thread: a queued event first, else one message is fetched and
// dispatched. Returns an EVENT_ code, or the number of a message that produced no event.
int32_t WaitEvent();
// The item id of the event WaitEvent last returned to the calling thread.
int32_t EventItem();
// A modeless dialog of the calling thread (nullptr: none) whose messages WaitEvent gives to
// IsDialogMessageA first, so that Tab, Enter and Esc act in it as in any dialog.
void SetModelessDialog(HWND dialog);

// Closes one window (properties, window, class, accelerators, its queued events).
void CloseAppWindow(intptr_t window);
// Program end: closes every window of the calling thread. Windows of another thread are left
// to the process exit, so a teardown on the scan thread never destroys windows that the main
// thread is still serving (and never waits for that thread).
void CloseAllWindows();

}  // namespace lurvik
