// A test seam of the test builds only: menus of another process cannot be read under Wine,
// so when the environment variable LURVIK_MENU_TRACE names a file, the main window's menu
// (title, item labels, gray and check marks) is appended to it as one line whenever it has
// changed. In the shipped program the trace does nothing.
#pragma once

namespace lurvik {

// Appends the current menu line when tracing is on and the menu differs from the last line.
void TraceMenuState();

}  // namespace lurvik
