// The image path of a process through whichever optional entry point the system has.
#pragma once
#include <cstdint>
#include <string>

#include "inventory/inventory_system.h"

namespace lurvik {

// GetProcessImageFileNameA (device form) when present, else GetModuleFileNameExA (drive
// form), each with room for 500 characters. Returns the count written, 0 on failure or when
// neither entry point exists; `path` is empty then.
uint32_t ReadProcessImagePath(InventorySystem& system, SysHandle process, std::string& path);

}  // namespace lurvik
