// ScanHandles: builds the Windows system layer, takes the inventory and, in unattended mode,
// writes the log file, asks the shell to open it (where anyone can see it) and ends the
// program. A log file that could not be written completely ends the program with exit code 1,
// so a caller can tell.
#include "inventory/scan_handles_win.h"

#include <shellapi.h>

#include "inventory/cost_trace_win.h"
#include "inventory/end_at_ready_win.h"
#include "inventory/inventory.h"
#include "inventory/window_station_win.h"
#include "inventory/windows_system_win.h"
#include "shell/app_state.h"
#include "shell/program_end_win.h"
#include "toolkit/text_file.h"
#include "toolkit/wide_text_win.h"
#include "toolkit/workers_win.h"

namespace lurvik {

namespace {

constexpr uint32_t kPauseBeforeEndMilliseconds = 1000;

void TakeOneInventory() {
  // The system layer lives only for the scan; its end waits for killed probes to stop.
  WindowsSystem system;
  if (!TakeTracedInventory(system)) TakeInventory(system);
}

}  // namespace

bool WriteLogFile(const std::string& path, const std::string& text) {
  const intptr_t file = CreateTextFile(path);
  if (file == 0) return false;
  const bool complete = WriteText(file, text) == text.size();
  return CloseTextFile(file) && complete;
}

DWORD WINAPI ScanHandles(void* /*unused*/) {
  TakeOneInventory();
  if (BatchLogPath.empty()) {
    const std::string readyLog = EndAtReadyLogPath();  // test builds: the benchmark's interactive runs
    if (readyLog.empty()) return 0;
    EndProgram(WriteLogFile(readyLog, LogText) ? 0 : 1);
  }

  const bool written = WriteLogFile(BatchLogPath, LogText);
  // On a window station nobody sees, the viewer would stay open there, with no one to close
  // it, after every run; so the log is only written. The pause gives the shell's open time to
  // start the viewer before the program ends; without one there is nothing to wait for.
  if (WindowStationIsVisible()) {
    ShellExecuteW(GetDesktopWindow(), WideFromUtf8(OpenVerb).c_str(), WideFromUtf8(BatchLogPath).c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
    PauseMilliseconds(kPauseBeforeEndMilliseconds);
  }
  EndProgram(written ? 0 : 1);
}

}  // namespace lurvik
