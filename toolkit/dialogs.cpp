// The save dialog's filter and default-file rules (see dialogs.h).
#include "toolkit/dialogs.h"

namespace lurvik {

namespace {
constexpr size_t kMaxFileNameBytes = 259;  // the 260-byte file buffer keeps its terminator

bool IsUsableFileName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    switch (c) {
      case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '\\': case '|':
        return false;
      default:
        break;
    }
  }
  return true;
}
}  // namespace

std::string SaveDialogFilter(const std::string& pattern) {
  std::string filter = pattern;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  return filter;
}

SaveDialogStart SplitDefaultFile(const std::string& defaultFile) {
  SaveDialogStart start;
  std::string name = defaultFile;
  size_t slash = defaultFile.rfind('\\');
  if (slash != std::string::npos && slash > 0) {
    start.folder = defaultFile.substr(0, slash);
    name = defaultFile.substr(slash + 1);
  }
  if (name.size() > kMaxFileNameBytes) name.resize(kMaxFileNameBytes);
  if (IsUsableFileName(name)) start.fileName = name;
  return start;
}

}  // namespace lurvik
