// The scan as a whole: one inventory of every open handle of the machine, asked through the
// narrow InventorySystem interface and put out as tree nodes, status texts, progress positions
// and the log text. The batch ending (writing the log file) belongs to the Windows caller.
#pragma once
#include <string>

#include "inventory/inventory_system.h"

namespace lurvik {

// The log text of the last scan: banner, process lines and type blocks, CR LF line ends.
extern std::string LogText;

// Steps 1-7 of a scan: object types, type-number calibration, handle snapshot, the walk over
// all entries, the last log blocks, the banner and the final status text ("Ready! "/"Fertig!").
// Sets StatusText before each SetStatusText call. Never throws.
void TakeInventory(InventorySystem& system);

}  // namespace lurvik
