// The road of one scan: types, calibration, snapshot, walk, last blocks, banner, final status.
#include "inventory/inventory.h"

#include "inventory/handle_snapshot.h"
#include "inventory/process_walk.h"
#include "inventory/scan_state.h"
#include "inventory/type_table.h"
#include "shell/app_state.h"
#include "shell/language_text.h"
#include "toolkit/text.h"

namespace lurvik {

std::string LogText;

namespace {

// The box of asterisks around LanguageText 13, followed by an empty line.
std::string LogBanner() {
  const std::string title = LanguageText(13);
  const std::string rule = PadText("", TextLength(title) + 2, "*");
  return rule + "\r\n" + "*" + title + "*\r\n" + rule + "\r\n\r\n";
}

}  // namespace

void TakeInventory(InventorySystem& system) {
  ScanState state(system);
  state.ProcessQueryAccess = system.OsVersionCode() > 60 ? 0x1000 : 0x400;
  LogText.clear();
  TypeTable[1].TypeName = "ObjectType 1";
  LoadObjectTypes(system);
  state.TypesCalibrated = CalibrateTypeNumbers(system) == 1;
  {
    const HandleSnapshot snapshot = TakeHandleSnapshot(system, [&] { state.Listed.ListBeforeSnapshot(system); });
    WalkHandleSnapshot(state, snapshot);
  }  // the snapshot's 20 MB go before the log is finished
  FlushTypeBlocks(state);
  LogText.insert(0, LogBanner());
  ShowStatus(state, LanguageText(10));  // the last nodes go first
}

}  // namespace lurvik
