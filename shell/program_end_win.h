// The program end: the teardown in its fixed order, then ExitProcess. Reached after the event
// loop, after the operating-system message, and from the scan thread after an unattended run.
#pragma once
#include <cstdint>

namespace lurvik {

// Remembers the calling thread as the main thread (called first thing at start-up).
void RememberMainThread();

// Closes all windows, releases workers, libraries and files, destroys the private heap and
// ends the process with exitCode. Only the first caller tears down; a second thread that
// arrives meanwhile waits for the process to end, so the first caller's exit code stands.
[[noreturn]] void EndProgram(uint32_t exitCode);

}  // namespace lurvik
