// Reads one string value of a file's version resource (the program reads its own
// "FileVersion" for the window title). Every copy out of the resource block stays inside it.
// The three version functions come from the system folder's "VERSION.dll", looked up on the
// first read rather than imported, so that no VERSION.dll beside the program is loaded.
#include <windows.h>

#include <vector>

#include "shell/version_string.h"
#include "toolkit/library_search_win.h"

namespace lurvik {

namespace {

typedef DWORD(WINAPI* InfoSizeFunction)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* InfoFunction)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryFunction)(LPCVOID, LPCSTR, LPVOID*, PUINT);
enum VersionEntryPoint { kInfoSize, kInfo, kQuery };

// Never destroyed, like the timer's entry points.
const std::vector<void*>& Version() {
  static const std::vector<void*>& entryPoints = *new std::vector<void*>(
      SystemEntryPoints("VERSION.dll", {"GetFileVersionInfoSizeA", "GetFileVersionInfoA", "VerQueryValueA"}));
  return entryPoints;
}

// VerQueryValueA, or "not found" (0) when the entry point is missing.
BOOL QueryValue(const std::vector<char>& block, const char* path, void** value, UINT* length) {
  void* query = Version()[kQuery];
  return query != nullptr ? reinterpret_cast<QueryFunction>(query)(block.data(), path, value, length) : 0;
}

// Copies the value VerQueryValueA found (a length of 0 counts as 4 bytes) into a zero-filled
// buffer, never reading past the end of the resource block.
std::vector<char> CopyValue(const std::vector<char>& block, const void* value, UINT length) {
  size_t wanted = length == 0 ? 4 : length;
  const char* start = static_cast<const char*>(value);
  const char* end = block.data() + block.size();
  if (start < block.data() || start >= end) return std::vector<char>(wanted + 1, 0);
  size_t available = static_cast<size_t>(end - start);
  std::vector<char> copy(wanted + 1, 0);
  memcpy(copy.data(), start, wanted < available ? wanted : available);
  return copy;
}

}  // namespace

std::string ReadFileVersionString(const std::string& path, const std::string& key) {
  std::string result;
  DWORD ignored = 0;
  void* infoSize = Version()[kInfoSize];
  void* info = Version()[kInfo];
  DWORD size = infoSize != nullptr ? reinterpret_cast<InfoSizeFunction>(infoSize)(path.c_str(), &ignored) : 0;
  if (size > 0 && info != nullptr) {
    std::vector<char> block(size + 2, 0);
    if (reinterpret_cast<InfoFunction>(info)(path.c_str(), 0, size, block.data()) == 1) {
      void* value = nullptr;
      UINT length = 0;
      if (QueryValue(block, "\\VarFileInfo\\Translation", &value, &length) == 1) {
        std::vector<char> translation = CopyValue(block, value, length);
        uint16_t language = 0, codePage = 0;
        memcpy(&language, translation.data(), 2);
        memcpy(&codePage, translation.data() + 2, 2);
        std::string valuePath = "\\StringFileInfo\\" + TranslationKey(language, codePage) + "\\" + key;
        value = nullptr;
        length = 0;
        if (QueryValue(block, valuePath.c_str(), &value, &length) == 1) {
          result = CopyValue(block, value, length).data();
        }
      }
    }
  }
  return TidyVersionText(result);
}

}  // namespace lurvik
