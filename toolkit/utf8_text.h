// Texts that must keep their true characters (command-line parameters, log paths) are held as
// UTF-8 in a std::string: the ANSI code page may lack some of their characters. An unpaired
// UTF-16 surrogate is kept as its own three bytes, so every UTF-16 text comes back unchanged.
#pragma once
#include <string>

namespace lurvik {

std::string Utf8FromUtf16(const std::u16string& text);
// Bytes that are no UTF-8 each become U+FFFD.
std::u16string Utf16FromUtf8(const std::string& text);

}  // namespace lurvik
