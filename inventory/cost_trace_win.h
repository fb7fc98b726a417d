// The cost trace of the test builds: where a scan's time goes, for the benchmark. The
// shipped programs take no trace and read no switch.
#pragma once
#include "inventory/inventory_system.h"

namespace lurvik {

// Test builds with LURVIK_COST_TRACE=<path> set: takes the inventory through a layer that
// times every call to the system by kind, writes the table to the path and returns true.
// Otherwise (and always in the shipped programs) does nothing and returns false.
bool TakeTracedInventory(InventorySystem& system);

}  // namespace lurvik
