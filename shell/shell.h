// The interactive or unattended life of the program after its start-up: the main window,
// the first scan and the event loop.
#pragma once

namespace lurvik {

// Builds the window, starts the scan and serves events; returns when the program should end
// normally (the caller then runs the program end).
void RunShell();

}  // namespace lurvik
