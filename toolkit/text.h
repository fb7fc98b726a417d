// Text and number operations shared by every part of the program. Texts are std::string
// holding ANSI bytes (Windows-1252 for the program's own words); an absent text is the empty
// string. The exact behaviour at the edges decides the bytes the program shows and writes.
#pragma once
#include <cstdint>
#include <string>

// The Windows headers define ReplaceText as a macro (ReplaceTextA, the find-and-replace
// dialog) that would rename ours. A file that includes them after this header and calls
// ReplaceText must drop the macro itself.
#ifdef ReplaceText
#undef ReplaceText
#endif

namespace lurvik {

int64_t TextLength(const std::string& text);
bool TextEquals(const std::string& a, const std::string& b);
// Upper-cases with the system's locale-aware ANSI conversion (CharUpperBuffA on Windows,
// the Windows-1252 rules elsewhere).
std::string UpperCaseText(const std::string& text);
// 1-based position of the first occurrence of search at or after start; 0 if none or if
// either text is empty.
int64_t FindText(const std::string& text, const std::string& search, int64_t start);
std::string LeftText(const std::string& text, int64_t count);
std::string RightText(const std::string& text, int64_t count);
// Replaces every non-overlapping occurrence, left to right; case matters.
std::string ReplaceText(const std::string& text, const std::string& search, const std::string& replacement);
// Removes blanks (0x20 only) from both ends.
std::string TrimText(const std::string& text);
// Cuts or fills to exactly length bytes with the first byte of fill (a blank if fill is empty).
std::string PadText(const std::string& text, int64_t length, const std::string& fill);
// Upper-case hex digits of the 64-bit two's complement value, no prefix, no leading zeros.
std::string HexText(int64_t value);
std::string DecimalText(int64_t value);
// Decimal, "$" hexadecimal or "%" binary, optional sign and leading blanks/tabs; wraps in 64 bits.
int64_t ParseInteger(const std::string& text);

// Reads a zero-terminated text from a fixed-length field of at most n bytes.
std::string FixedFieldText(const char* field, size_t n);

}  // namespace lurvik
