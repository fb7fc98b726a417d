// ReadProcessImagePath and StripPathText.
#include "inventory/process_image.h"

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
  if (path.size() > kImageNameBufferSize) path.resize(kImageNameBufferSize);
  return written;
}

std::string StripPathText(const std::string& path) {
  if (path.size() < 2) return path;
  // A trailing separator belongs to the last component, as PathStripPathA keeps it.
  const size_t at = path.find_last_of("\\/:", path.size() - 2);
  return at == std::string::npos ? path : path.substr(at + 1);
}

}  // namespace lurvik
