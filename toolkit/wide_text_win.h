// UTF-16 texts of the system turned into the program's texts: into the ANSI code page without
// best fit, so that a character the code page lacks becomes "?" and never a look-alike letter
// (a name shown as "abc.txt" for "ābc.txt" would be another file's name); and to and from the
// UTF-8 in which paths and parameters keep their true characters.
#pragma once
#include <cstddef>
#include <string>

namespace lurvik {

// At most maxBytes bytes of ANSI text; "" when the conversion fails or does not fit.
std::string AnsiFromWide(const wchar_t* characters, size_t count, size_t maxBytes);

// Every byte of the ANSI text, zeros inside it included.
std::wstring WideFromAnsi(const std::string& text);
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

}  // namespace lurvik
