// The image path of a process through whichever optional entry point the system has.
#pragma once
#include <cstdint>
#include <string>

#include "inventory/inventory_system.h"

namespace lurvik {

// GetProcessImageFileNameW (device form) when present, else GetModuleFileNameExW (drive form),
// each with room for 500 characters; the path in ANSI without best fit, which must fit into
// 500 bytes with its zero, as the ANSI calls' text had to. Returns the count the call wrote, 0
// on failure, when neither entry point exists or the ANSI path does not fit; `path` is empty
// then. `truePath`, when given, receives the path in its true characters (empty on failure).
uint32_t ReadProcessImagePath(InventorySystem& system, SysHandle process, std::string& path,
                              std::u16string* truePath = nullptr);

}  // namespace lurvik
