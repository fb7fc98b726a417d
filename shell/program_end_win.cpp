// The teardown of the program, in the order the toolkit's services depend on each other:
// windows, workers, libraries, files, then the private heap and the process itself.
#include "shell/program_end_win.h"

#include <windows.h>

#include "shell/app_state.h"
#include "toolkit/runtime_win.h"
#include "toolkit/system_info.h"
#include "toolkit/text_file.h"
#include "toolkit/window_layer_win.h"
#include "toolkit/workers_win.h"

namespace lurvik {

namespace {
DWORD MainThreadId = 0;
LONG EndStarted = 0;
}  // namespace

void RememberMainThread() { MainThreadId = GetCurrentThreadId(); }

void EndProgram(uint32_t exitCode) {
  // The scan thread (unattended run) and the main thread can both arrive here.
  if (InterlockedExchange(&EndStarted, 1) != 0) {
    for (;;) Sleep(INFINITE);
  }
  // The main thread can end while a scan still runs (the window closed during a scan). The
  // scan may then call into PSAPI.dll, the worker table or the heap a moment later, and a
  // library freed under it would crash the process at the moment of closing. So nothing it
  // can reach is released while it may run; ExitProcess frees all of it anyway. Only the main
  // thread starts scans, so one that is not running now cannot start before the exit.
  const bool scanMayRun = GetCurrentThreadId() == MainThreadId && ScanWorker != 0 && IsWorkerRunning(ScanWorker) != 0;

  CloseAllWindows();
  // The toolkit keeps no tool-tip window or image library; the tree's image list and icons
  // are returned with the process by ExitProcess.
  if (!scanMayRun) {
    ReleaseWorkers();
    CloseAllLibraries();
  }
  CloseAllTextFiles();
  HANDLE heap = ProgramHeap();
  if (heap != nullptr && !scanMayRun) HeapDestroy(heap);
  ExitProcess(exitCode);
}

}  // namespace lurvik
