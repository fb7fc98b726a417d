// Text and number operations: the portable definitions of the program's text conventions.
#include "toolkit/text.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#undef ReplaceText  // the find-and-replace dialog's macro would rename ours
#endif

namespace lurvik {

int64_t TextLength(const std::string& text) { return static_cast<int64_t>(text.size()); }

bool TextEquals(const std::string& a, const std::string& b) { return a == b; }

std::string UpperCaseText(const std::string& text) {
  std::string copy = text;
  if (copy.empty()) return copy;
#ifdef _WIN32
  CharUpperBuffA(&copy[0], static_cast<DWORD>(copy.size()));
#else
  // Windows-1252 upper-casing as CharUpperA does it for the Western code page; "ß" stays.
  for (char& c : copy) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) u -= 0x20;
    else if (u == 0x9A || u == 0x9C || u == 0x9E) u -= 0x10;
    else if (u == 0xFF) u = 0x9F;
    c = static_cast<char>(u);
  }
#endif
  return copy;
}

int64_t FindText(const std::string& text, const std::string& search, int64_t start) {
  if (text.empty() || search.empty()) return 0;
  if (start < 1) start = 1;
  if (start > TextLength(text)) return 0;
  size_t at = text.find(search, static_cast<size_t>(start - 1));
  return at == std::string::npos ? 0 : static_cast<int64_t>(at) + 1;
}

std::string LeftText(const std::string& text, int64_t count) {
  if (count <= 0) return std::string();
  return text.substr(0, static_cast<size_t>(count));
}

std::string RightText(const std::string& text, int64_t count) {
  if (count <= 0) return std::string();
  if (count >= TextLength(text)) return text;
  return text.substr(text.size() - static_cast<size_t>(count));
}

std::string ReplaceText(const std::string& text, const std::string& search, const std::string& replacement) {
  if (search.empty()) return text;
  std::string result;
  result.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    if (text.compare(at, search.size(), search) == 0) {
      result += replacement;
      at += search.size();
    } else {
      result += text[at++];
    }
  }
  return result;
}

std::string TrimText(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string PadText(const std::string& text, int64_t length, const std::string& fill) {
  if (length < 0) length = 0;
  std::string result = LeftText(text, length);
  char filler = fill.empty() ? ' ' : fill[0];
  result.append(static_cast<size_t>(length) - result.size(), filler);
  return result;
}

std::string HexText(int64_t value) {
  static const char digits[] = "0123456789ABCDEF";
  uint64_t bits = static_cast<uint64_t>(value);
  std::string result;
  do {
    result.insert(result.begin(), digits[bits & 0xF]);
    bits >>= 4;
  } while (bits != 0);
  return result;
}

std::string DecimalText(int64_t value) {
  // Work on the unsigned magnitude so that the most negative value has digits too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string result;
  do {
    result.insert(result.begin(), static_cast<char>('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) result.insert(result.begin(), '-');
  return result;
}

int64_t ParseInteger(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  unsigned base = 10;
  if (at < text.size() && text[at] == '$') { base = 16; ++at; }
  else if (at < text.size() && text[at] == '%') { base = 2; ++at; }
  uint64_t value = 0;
  for (; at < text.size(); ++at) {
    char c = text[at];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

std::string FixedFieldText(const char* field, size_t n) {
  const void* end = std::memchr(field, 0, n);
  return std::string(field, end ? static_cast<const char*>(end) - field : n);
}

}  // namespace lurvik
