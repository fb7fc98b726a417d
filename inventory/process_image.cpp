// ReadProcessImagePath.
#include "inventory/process_image.h"

namespace lurvik {

namespace {
constexpr uint32_t kImagePathSize = 500;
}

uint32_t ReadProcessImagePath(InventorySystem& system, SysHandle process, std::string& path, std::u16string* truePath) {
  path.clear();
  if (truePath != nullptr) truePath->clear();
  std::u16string wide;
  uint32_t written = 0;
  if (system.HasEntryPoint(EntryPoint::GetProcessImageFileNameW))
    written = system.GetProcessImageFileNameW(process, wide, kImagePathSize);
  else if (system.HasEntryPoint(EntryPoint::GetModuleFileNameExW))
    written = system.GetModuleFileNameExW(process, wide, kImagePathSize);
  wide = wide.substr(0, wide.find(u'\0'));
  if (written != 0 && !wide.empty()) {
    path = system.WideToAnsi(wide.data(), wide.size(), kImagePathSize);
    if (path.size() >= kImagePathSize) path.clear(), written = 0;  // no room for its zero
  }
  if (written == 0 || path.empty()) return path.clear(), 0;
  if (truePath != nullptr) *truePath = wide;
  return written;
}

}  // namespace lurvik
