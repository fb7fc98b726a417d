// EndAtReadyLogPath: the switch read from the environment, in the test builds only.
#include "inventory/end_at_ready_win.h"

#ifdef LURVIK_TEST_SEAMS
#include <windows.h>

#include "toolkit/wide_text_win.h"
#endif

namespace lurvik {

#ifndef LURVIK_TEST_SEAMS
std::string EndAtReadyLogPath() { return std::string(); }
#else
// In UTF-8, as every log path.
std::string EndAtReadyLogPath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"LURVIK_END_AT_READY", path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::string() : Utf8FromWide(std::wstring(path, length));
}
#endif

}  // namespace lurvik
