// DevicePathToDrivePath: one QueryDosDevice per letter until a letter's device begins the path.
#include "inventory/device_paths.h"

#include "inventory/ansi_characters.h"
#include "toolkit/text.h"

namespace lurvik {

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "\??\X:" followed by "\" or nothing: the object manager's name of a path on drive X.
bool IsObjectManagerDrivePath(const std::string& path) {
  return path.size() >= 6 && path.compare(0, 4, "\\??\\") == 0 && IsDriveLetter(path[4]) && path[5] == ':' &&
         (path.size() == 6 || path[6] == '\\');
}

}  // namespace

std::string DevicePathToDrivePath(InventorySystem& system, const std::string& path) {
  if (path.empty()) return std::string();
  if (IsObjectManagerDrivePath(path)) return path.substr(4);
  const std::string upperPath = UpperCaseText(path);
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string driveName = std::string(1, letter) + ":";
    const std::string device = system.QueryDosDevice(driveName);
    if (device.empty() || device.size() > path.size()) continue;
    if (upperPath.compare(0, device.size(), UpperCaseText(device)) != 0) continue;
    const bool atBoundary =
        path.size() == device.size() || path[device.size()] == '\\' || EndsWithBackslash(system, device);
    if (!atBoundary) continue;
    return driveName + path.substr(device.size());
  }
  return std::string();
}

}  // namespace lurvik
