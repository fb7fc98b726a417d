// Shows the start-up message box. In the test builds it is appended instead to the file named
// by LURVIK_MESSAGE_BOX_LOG, so that unattended tests can see which box would have been shown.
#include "shell/startup_message_win.h"

#include <windows.h>

#include <vector>

#include "toolkit/text.h"

namespace lurvik {

#ifdef LURVIK_TEST_SEAMS
namespace {

std::string EnvironmentValue(const char* name) {
  DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) return std::string();
  std::vector<char> value(size + 1, 0);
  DWORD length = GetEnvironmentVariableA(name, value.data(), size);
  if (length == 0 || length >= size) return std::string();
  return std::string(value.data(), length);
}

void AppendToFile(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace
#endif

int32_t ShowStartupMessage(const std::string& title, const std::string& text, uint32_t flags) {
#ifdef LURVIK_TEST_SEAMS
  std::string recordPath = EnvironmentValue("LURVIK_MESSAGE_BOX_LOG");
  if (!recordPath.empty()) {
    AppendToFile(recordPath, title + "\r\n" + text + "\r\n" + DecimalText(flags) + "\r\n");
    return IDOK;
  }
#endif
  return MessageBoxA(nullptr, text.c_str(), title.c_str(), flags);
}

}  // namespace lurvik
