// Reads one string value of a file's version resource (the program reads its own
// "FileVersion" for the window title). Every copy out of the resource block stays inside it.
#include <windows.h>

#include <vector>

#include "shell/version_string.h"

namespace lurvik {

namespace {

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
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size > 0) {
    std::vector<char> block(size + 2, 0);
    if (GetFileVersionInfoA(path.c_str(), 0, size, block.data()) == 1) {
      void* value = nullptr;
      UINT length = 0;
      char translationPath[] = "\\VarFileInfo\\Translation";
      if (VerQueryValueA(block.data(), translationPath, &value, &length) == 1) {
        std::vector<char> translation = CopyValue(block, value, length);
        uint16_t language = 0, codePage = 0;
        memcpy(&language, translation.data(), 2);
        memcpy(&codePage, translation.data() + 2, 2);
        std::string valuePath = "\\StringFileInfo\\" + TranslationKey(language, codePage) + "\\" + key;
        value = nullptr;
        length = 0;
        if (VerQueryValueA(block.data(), &valuePath[0], &value, &length) == 1) {
          result = CopyValue(block, value, length).data();
        }
      }
    }
  }
  return TidyVersionText(result);
}

}  // namespace lurvik
