// Start-up of the toolkit runtime. The tables of workers, files and libraries and the timer's
// entry points are built on first use under thread-safe initialisation; touching them here
// builds them on the main thread before any other thread exists.
#include "toolkit/runtime_win.h"

#include <commctrl.h>
#include <objbase.h>

#include "toolkit/timer_resolution_win.h"
#include "toolkit/workers_win.h"

namespace lurvik {

HANDLE ProgramHeap() {
  static HANDLE heap = HeapCreate(0, 4096, 0);
  return heap;
}

void InitRuntime() {
  ProgramHeap();
  IsWorkerRunning(0);  // builds the worker table and its lock
  LoadTimerEntryPoints();
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
  CoInitialize(nullptr);
}

}  // namespace lurvik
