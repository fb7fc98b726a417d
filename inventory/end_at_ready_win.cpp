// EndAtReadyLogPath: the switch read from the environment, in the test builds only.
#include "inventory/end_at_ready_win.h"

#ifdef LURVIK_TEST_SEAMS
#include <windows.h>
#endif

namespace lurvik {

#ifndef LURVIK_TEST_SEAMS
std::string EndAtReadyLogPath() { return std::string(); }
#else
std::string EndAtReadyLogPath() {
  char path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("LURVIK_END_AT_READY", path, sizeof path);
  return length == 0 || length >= sizeof path ? std::string() : std::string(path, length);
}
#endif

}  // namespace lurvik
