// The process filter: whether a process's image file name is the one the first command-line
// parameter names, compared in the true characters of both, so that a look-alike ("cat.exe"
// for "cāt.exe") never passes for it.
#pragma once
#include <string>

#include "inventory/inventory_system.h"

namespace lurvik {

// True when ProcessFilter is empty, or names the file `imageFileName` (its true characters;
// empty when the name was not read) in any letter case.
bool PassesProcessFilter(InventorySystem& system, const std::u16string& imageFileName);

}  // namespace lurvik
