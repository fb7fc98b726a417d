// Reading the program's own version text: the portable halves (the translation key and the
// tidying of the value) and the Windows reader over the version resource of a file.
#pragma once
#include <cstdint>
#include <string>

namespace lurvik {

// Key of a string table, e.g. language 0x0000 and code page 0x04B0 give "000004B0".
std::string TranslationKey(uint16_t language, uint16_t codePage);

// Turns CR LF and then lone CR into two blanks each and trims blanks at both ends, so a
// version value can stand in a one-line title.
std::string TidyVersionText(const std::string& value);

// One string value of the version resource of a file (Windows only; empty when the file has
// no version resource, no translation or no such value). The result is already tidied.
std::string ReadFileVersionString(const std::string& path, const std::string& key);

}  // namespace lurvik
