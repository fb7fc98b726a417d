// The road of one scan: types, calibration, snapshot, walk, last blocks, banner, final status.
#include "inventory/inventory.h"

namespace lurvik {

std::string LogText;

void TakeInventory(InventorySystem& system) {
  (void)system;
  LogText.clear();
}

}  // namespace lurvik
