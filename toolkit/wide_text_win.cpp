// AnsiFromWide with WC_NO_BEST_FIT_CHARS; the UTF-8 forms through the portable encoding
// (wchar_t is UTF-16 on Windows).
#include "toolkit/wide_text_win.h"

#include <windows.h>

#include <climits>

#include "toolkit/utf8_text.h"

namespace lurvik {

std::string AnsiFromWide(const wchar_t* characters, size_t count, size_t maxBytes) {
  if (characters == nullptr || count == 0 || maxBytes == 0 || count > static_cast<size_t>(INT_MAX)) return std::string();
  const int outputSize = maxBytes > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(maxBytes);
  std::string text(static_cast<size_t>(outputSize), '\0');
  // No default character is passed: the code page's own ("?") stands for what it lacks.
  int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, characters, static_cast<int>(count), &text[0],
                                    outputSize, nullptr, nullptr);
  // An ANSI code page that takes no flags (UTF-8, where Windows allows it) holds every
  // character, so it has no best fit to leave out.
  if (written <= 0 && GetLastError() == ERROR_INVALID_FLAGS)
    written = WideCharToMultiByte(CP_ACP, 0, characters, static_cast<int>(count), &text[0], outputSize, nullptr, nullptr);
  if (written <= 0) return std::string();
  text.resize(static_cast<size_t>(written));
  return text;
}

std::wstring WideFromAnsi(const std::string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) return std::wstring();
  std::wstring wide(text.size(), L'\0');  // never more characters than bytes
  const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                          static_cast<int>(wide.size()));
  wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return wide;
}

std::wstring WideFromUtf8(const std::string& text) {
  const std::u16string wide = Utf16FromUtf8(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Utf8FromWide(const std::wstring& text) { return Utf8FromUtf16(std::u16string(text.begin(), text.end())); }

}  // namespace lurvik
