// WindowStationIsVisible: the flags of the process's window station, and the test builds'
// switch that stands in for a station nobody sees.
#include "inventory/window_station_win.h"

#include <windows.h>

namespace lurvik {

namespace {

#ifdef LURVIK_TEST_SEAMS
bool UnseenByTestSwitch() {
  char value[4] = {};
  return GetEnvironmentVariableA("LURVIK_UNSEEN_WINDOW_STATION", value, sizeof value) == 1 && value[0] == '1';
}
#else
bool UnseenByTestSwitch() { return false; }
#endif

}  // namespace

bool WindowStationIsVisible() {
  if (UnseenByTestSwitch()) return false;
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  if (station == nullptr || !GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace lurvik
