// The three timer entry points of the system folder's WINMM.dll, looked up once under
// thread-safe initialisation. The library stays loaded until the process ends, as an import
// would: a pause may still run on another thread while the program ends.
#include "toolkit/timer_resolution_win.h"

#include <windows.h>

#include "toolkit/library_search_win.h"

namespace lurvik {

namespace {

typedef UINT(WINAPI* PeriodFunction)(UINT);
typedef DWORD(WINAPI* ClockFunction)();
enum TimerEntryPoint { kBeginPeriod, kEndPeriod, kClock };

// Never destroyed: a pause on another thread may read it while the process ends.
const std::vector<void*>& Timer() {
  static const std::vector<void*>& entryPoints =
      *new std::vector<void*>(SystemEntryPoints("WINMM.dll", {"timeBeginPeriod", "timeEndPeriod", "timeGetTime"}));
  return entryPoints;
}

}  // namespace

void LoadTimerEntryPoints() { Timer(); }

void RaiseTimerResolution() {
  if (void* begin = Timer()[kBeginPeriod]) reinterpret_cast<PeriodFunction>(begin)(1);
}

void RestoreTimerResolution() {
  if (void* end = Timer()[kEndPeriod]) reinterpret_cast<PeriodFunction>(end)(1);
}

uint32_t MillisecondClock() {
  void* clock = Timer()[kClock];
  return clock != nullptr ? reinterpret_cast<ClockFunction>(clock)() : GetTickCount();
}

}  // namespace lurvik
