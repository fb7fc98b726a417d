// The menu trace of the test seam (see menu_trace_win.h). A line reads, for example:
//   &Program|101 get &handles again gray|102 create &log file gray|201 &deutsch gray|...
// Without the environment variable, and always in the shipped program, nothing is read or
// written.
#include "shell/menu_trace_win.h"

#ifdef LURVIK_TEST_SEAMS

#include <windows.h>

#include <string>
#include <vector>

#include "shell/app_state.h"
#include "shell/main_window_win.h"
#include "toolkit/menu_win.h"
#include "toolkit/text.h"

namespace lurvik {

namespace {

std::string TracePath() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetEnvironmentVariableA("LURVIK_MENU_TRACE", path, sizeof path);
  return (length == 0 || length >= sizeof path) ? std::string() : std::string(path, length);
}

std::string MenuLabel(HMENU bar, UINT item, UINT flags) {
  char label[256] = {};
  GetMenuStringA(bar, item, label, sizeof label, flags);
  return label;
}

std::string DescribeMenu(HMENU bar) {
  std::string line = MenuLabel(bar, 0, MF_BYPOSITION);
  for (int32_t item : {kRescanCommand, kSaveLogCommand, kGermanCommand, kEnglishCommand, kEndCommand}) {
    UINT state = GetMenuState(bar, static_cast<UINT>(item), MF_BYCOMMAND);
    line += '|';
    line += DecimalText(item) + " " + MenuLabel(bar, static_cast<UINT>(item), MF_BYCOMMAND);
    if (state != static_cast<UINT>(-1) && (state & MF_GRAYED)) line += " gray";
    if (state != static_cast<UINT>(-1) && (state & MF_CHECKED)) line += " checked";
  }
  return line;
}

}  // namespace

void TraceMenuState() {
  static const std::string path = TracePath();
  static std::string lastLine;
  if (path.empty()) return;
  HMENU bar = MenuBarHandle(MainMenu);
  std::string line = bar ? DescribeMenu(bar) : std::string("no menu");
  if (line == lastLine) return;
  lastLine = line;
  line += "\r\n";
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace lurvik

#else
namespace lurvik {
void TraceMenuState() {}
}  // namespace lurvik
#endif
