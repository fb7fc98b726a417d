// Translation of a path in the system's device form (\Device\HarddiskVolume2\...) into a
// drive-letter path (C:\...), by asking the system which device each letter stands for.
#pragma once
#include <string>

#include "inventory/inventory_system.h"

namespace lurvik {

// The drive path of `path`, or "" when no drive letter's device begins it. A device name
// matches only when the path continues with "\" or ends after it; only the leading device
// name is replaced; letters are tried from A to Z and the first match wins. A name in the
// object manager's drive form (\??\C:\...) is already a drive path and comes back as C:\...
std::string DevicePathToDrivePath(InventorySystem& system, const std::string& path);

}  // namespace lurvik
