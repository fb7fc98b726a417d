// Start-up of the toolkit runtime: its tables and locks, the program's private heap, the
// common controls and COM for the calling (main) thread.
#pragma once
#include <windows.h>

namespace lurvik {

// Called once at the program's start, on the main thread, before any worker starts.
void InitRuntime();
// The program's private heap (HeapCreate(0, 4096, 0)); created on first use if need be.
HANDLE ProgramHeap();

}  // namespace lurvik
