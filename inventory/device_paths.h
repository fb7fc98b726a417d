// Translation of a path in the system's device form (\Device\HarddiskVolume2\...) into a
// drive-letter path (C:\...), by the device each letter stands for. The 26 letters are asked
// once per scan, when the first path needs them, not for every path: a scan translates the
// path of every process, thread and disk-file handle, and the letters do not change while it
// runs.
#pragma once
#include <string>

#include "inventory/inventory_system.h"

namespace lurvik {

class DriveMap {
 public:
  explicit DriveMap(InventorySystem& system) : system_(system) {}

  // The drive path of `path`, or "" when no drive letter's device begins it. A device name
  // matches only when the path continues with "\" or ends after it; only the leading device
  // name is replaced; letters are tried from A to Z and the first match wins. A name in the
  // object manager's drive form (\??\C:\...) is already a drive path and comes back as C:\...
  std::string DrivePathOf(const std::string& path);

 private:
  struct Drive {
    std::string upperDevice;  // the letter's first device name, upper-cased; "" when no drive
    bool endsWithBackslash = false;
  };
  void ReadDrives();

  InventorySystem& system_;
  bool read_ = false;
  Drive drives_[26];
};

}  // namespace lurvik
