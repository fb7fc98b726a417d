// A test seam: menus of another process cannot be read under Wine, so when the environment
// variable LURVIK_MENU_TRACE names a file, the main window's menu (title, item labels, gray
// and check marks) is appended to it as one line whenever it has changed.
#pragma once

namespace lurvik {

// Appends the current menu line when tracing is on and the menu differs from the last line.
void TraceMenuState();

}  // namespace lurvik
