// DriveMap: the letters' device names, read once, and the match of a path against them.
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

void DriveMap::ReadDrives() {
  read_ = true;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string device = system_.QueryDosDevice(std::string(1, letter) + ":");
    Drive& drive = drives_[letter - 'A'];
    drive.upperDevice = UpperCaseText(device);
    drive.endsWithBackslash = !device.empty() && EndsWithBackslash(system_, device);
  }
}

std::string DriveMap::DrivePathOf(const std::string& path) {
  if (path.empty()) return std::string();
  if (IsObjectManagerDrivePath(path)) return path.substr(4);
  if (!read_) ReadDrives();
  const std::string upperPath = UpperCaseText(path);
  for (int letter = 0; letter < 26; ++letter) {
    const Drive& drive = drives_[letter];
    const std::string& device = drive.upperDevice;
    if (device.empty() || device.size() > path.size()) continue;
    if (upperPath.compare(0, device.size(), device) != 0) continue;
    const bool atBoundary = path.size() == device.size() || path[device.size()] == '\\' || drive.endsWithBackslash;
    if (!atBoundary) continue;
    return std::string(1, static_cast<char>('A' + letter)) + ":" + path.substr(device.size());
  }
  return std::string();
}

}  // namespace lurvik
