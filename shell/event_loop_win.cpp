// The life of the program after its start-up: the main window, the first scan on a worker,
// and the event loop with the menu commands (rescan, save the log, language, end).
// The main thread never waits for the scan: it only asks IsWorkerRunning after each event,
// so it is always free to serve the messages the scan thread sends to the controls.
#include "shell/shell.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "inventory/inventory.h"
#include "inventory/scan_handles_win.h"
#include "shell/app_state.h"
#include "shell/language_text.h"
#include "shell/main_window_win.h"
#include "shell/menu_trace_win.h"
#include "toolkit/dialogs_win.h"
#include "toolkit/menu_win.h"
#include "toolkit/text_file.h"
#include "toolkit/thread_exit_watcher_win.h"
#include "toolkit/wide_text_win.h"
#include "toolkit/window_layer_win.h"
#include "toolkit/workers_win.h"

namespace lurvik {

namespace {

// The commands that touch LogText, the tree or CurrentLanguage; grayed while a scan runs.
void GrayScanCommands(int32_t state) {
  for (int32_t item : {kRescanCommand, kSaveLogCommand, kEnglishCommand, kGermanCommand})
    SetMenuItemGrayed(MainMenu, item, state);
}

// Runs on the watcher thread once the scan thread has ended: a posted message gives the main
// thread an event, at which it finds the worker ended and enables the commands again.
void WakeMainThread(void*) {
  HWND main = WindowHandle(MainWindow);
  if (main) PostMessageA(main, WM_NULL, 0, 0);
}

DWORD WINAPI ScanThread(void* parameter) {
  RegisterThreadCleanup(WakeMainThread, nullptr);
  return ScanHandles(parameter);
}

void StartScan() {
  GrayScanCommands(1);
  ScanWorker = StartWorker(ScanThread, nullptr);
}

void Rescan() {
  GrayScanCommands(1);
  SendMessageA(reinterpret_cast<HWND>(HandleTree), TVM_DELETEITEM, 0, 0);
  KeptTreeNodes.Clear();  // the tree's model goes with the old tree
  ScanWorker = StartWorker(ScanThread, nullptr);
}

// Saves LogText where the user chooses and opens it. A file that could not be written
// completely is not opened, as one that could not be created. The path is UTF-8 throughout:
// the file written and opened is the one chosen, whatever characters its name holds.
void SaveLog() {
  std::string path = AskSaveFileName(LanguageText(12), "Lurvik_LOG.txt", "*.txt | *.log", 0);
  if (path.empty()) return;
  intptr_t file = CreateTextFile(path);
  if (file == 0) return;
  uint32_t written = WriteText(file, LogText);
  bool complete = CloseTextFile(file) && written == LogText.size();
  if (!complete) return;
  ShellExecuteW(GetDesktopWindow(), WideFromUtf8(OpenVerb).c_str(), WideFromUtf8(path).c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}

// Changes the menu only; the tree, the status text and LogText keep the words of their scan.
void SwitchLanguage(int32_t language) {
  CurrentLanguage = language;
  SetMenuItemChecked(MainMenu, kGermanCommand, CurrentLanguage == 1);
  SetMenuItemChecked(MainMenu, kEnglishCommand, CurrentLanguage != 1);
  SetMenuTitleLabel(MainMenu, 0, LanguageText(1));
  SetMenuItemLabel(MainMenu, kRescanCommand, LanguageText(2));
  SetMenuItemLabel(MainMenu, kSaveLogCommand, LanguageText(11));
  SetMenuItemLabel(MainMenu, kEndCommand, LanguageText(6));
}

void RunCommand(int32_t command) {
  // The menu grays these during a scan; a command posted by another program gets the same
  // answer, so a second scan never runs beside the first and LogText is never read mid-scan.
  bool scanRunning = IsWorkerRunning(ScanWorker) != 0;
  switch (command) {
    case kRescanCommand:
      if (!scanRunning) Rescan();
      break;
    case kSaveLogCommand:
      if (!scanRunning) SaveLog();
      break;
    case kEndCommand:
      QuitRequested = 1;
      break;
    case kGermanCommand:
      if (!scanRunning) SwitchLanguage(1);
      break;
    case kEnglishCommand:
      if (!scanRunning) SwitchLanguage(0);
      break;
    default:
      break;
  }
}

// Without a main window there are no events: an unattended run starts its scan and waits for
// it (the scan ends the program itself); an interactive one has nothing to show and returns.
void RunWithoutWindow() {
  if (BatchLogPath.empty()) return;
  ScanWorker = StartWorker(ScanHandles, nullptr);
  while (IsWorkerRunning(ScanWorker) != 0) PauseMilliseconds(50);
}

}  // namespace

void RunShell() {
  BuildMainWindow();
  if (WindowHandle(MainWindow) == nullptr) {
    RunWithoutWindow();
    return;
  }
  StartScan();
  TraceMenuState();
  while (QuitRequested == 0) {
    int32_t event = WaitEvent();
    if (IsWorkerRunning(ScanWorker) == 0) GrayScanCommands(0);
    switch (event) {
      case EVENT_CLOSE:
        QuitRequested = 1;
        break;
      case EVENT_SIZE:
        FitMainWindow();
        break;
      case EVENT_MENU:
        RunCommand(EventItem());
        break;
      default:
        break;
    }
    TraceMenuState();
  }
}

}  // namespace lurvik
