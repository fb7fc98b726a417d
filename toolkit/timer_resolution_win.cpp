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

struct TimerEntryPoints {
  PeriodFunction beginPeriod;
  PeriodFunction endPeriod;
  ClockFunction clock;
};

const TimerEntryPoints& Timer() {
  static const TimerEntryPoints entryPoints = [] {
    HMODULE winmm = LoadSystemLibrary("WINMM.dll");
    return TimerEntryPoints{reinterpret_cast<PeriodFunction>(EntryPointOf(winmm, "timeBeginPeriod")),
                            reinterpret_cast<PeriodFunction>(EntryPointOf(winmm, "timeEndPeriod")),
                            reinterpret_cast<ClockFunction>(EntryPointOf(winmm, "timeGetTime"))};
  }();
  return entryPoints;
}

}  // namespace

void LoadTimerEntryPoints() { Timer(); }

void RaiseTimerResolution() {
  if (Timer().beginPeriod != nullptr) Timer().beginPeriod(1);
}

void RestoreTimerResolution() {
  if (Timer().endPeriod != nullptr) Timer().endPeriod(1);
}

uint32_t MillisecondClock() { return Timer().clock != nullptr ? Timer().clock() : GetTickCount(); }

}  // namespace lurvik
