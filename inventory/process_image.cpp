// ReadProcessImagePath.
#include "inventory/process_image.h"

#include "inventory/ansi_characters.h"
#include "inventory/scan_state.h"

namespace lurvik {

namespace {
constexpr uint32_t kImagePathSize = 500;
}

uint32_t ReadProcessImagePath(InventorySystem& system, SysHandle process, std::string& path) {
  path.clear();
  uint32_t written = 0;
  if (system.HasEntryPoint(EntryPoint::GetProcessImageFileNameA))
    written = system.GetProcessImageFileNameA(process, path, kImagePathSize);
  else if (system.HasEntryPoint(EntryPoint::GetModuleFileNameExA))
    written = system.GetModuleFileNameExA(process, path, kImagePathSize);
  if (written == 0) path.clear();
  path = path.substr(0, path.find('\0'));
  path = CutToWholeCharacters(system, path, kImageNameBufferSize);
  return written;
}

}  // namespace lurvik
