// The fine system timer of the pauses: winmm's timeBeginPeriod, timeEndPeriod and timeGetTime,
// looked up in the system folder's "WINMM.dll" rather than imported, so that no WINMM.dll
// beside the program can be loaded in its place. Each is tested before every call.
#pragma once
#include <cstdint>

namespace lurvik {

// Looks the three up; the runtime's start-up calls it on the main thread, and the other calls
// look them up on their first use when it has not run (as in the test programs).
void LoadTimerEntryPoints();
// timeBeginPeriod(1) and timeEndPeriod(1): the system timer at 1 ms for the length of a pause.
void RaiseTimerResolution();
void RestoreTimerResolution();
// Milliseconds of timeGetTime (1 ms steps under the raised resolution), or of GetTickCount
// where winmm's entry point is missing.
uint32_t MillisecondClock();

}  // namespace lurvik
