// The one message box of the start-up (the operating-system message), shown before any
// window exists. For tests under Wine it can be recorded in a file instead of shown.
#pragma once
#include <cstdint>
#include <string>

namespace lurvik {

// Shows a message box without owner window and returns the button pressed. In the test
// builds, when the environment variable LURVIK_MESSAGE_BOX_LOG names a file, the title, text
// and flags are appended to it, one line each, and the box counts as answered with OK.
int32_t ShowStartupMessage(const std::string& title, const std::string& text, uint32_t flags);

}  // namespace lurvik
