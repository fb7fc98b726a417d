// The shell until the main window exists: an unattended run starts the scan on a worker and
// waits for it (the scan ends the program itself); an interactive run has nothing to show yet.
#include <windows.h>

#include "shell/app_state.h"
#include "shell/shell.h"
#include "toolkit/workers_win.h"

#if __has_include("inventory/scan_handles_win.h")
#include "inventory/scan_handles_win.h"
#define LURVIK_HAS_SCAN 1
#endif

namespace lurvik {

void RunShell() {
  if (BatchLogPath.empty()) return;
#ifdef LURVIK_HAS_SCAN
  ScanWorker = StartWorker(ScanHandles, nullptr);
  if (ScanWorker == 0) return;
  while (IsWorkerRunning(ScanWorker) != 0) PauseMilliseconds(50);
#endif
}

}  // namespace lurvik
