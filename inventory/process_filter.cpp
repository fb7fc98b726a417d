// PassesProcessFilter, character by character. A character the ANSI code page holds is
// compared as before, by its ANSI bytes upper-cased (UpperCaseText), so every name the code
// page holds passes or fails exactly as it always did. A character the code page lacks (it
// converts to the default "?" without best fit) matches only a lacking character of the same
// true value, both upper-cased by the system's UTF-16 rules: its "?" never matches another
// lacking character, nor a real "?", and its best-fit look-alike never matches it.
#include "inventory/process_filter.h"

#include <vector>

#include "shell/app_state.h"
#include "toolkit/text.h"
#include "toolkit/utf8_text.h"

namespace lurvik {

namespace {

struct NameCharacter {
  std::u16string units;  // one UTF-16 unit, or a surrogate pair
  std::string ansi;      // its ANSI bytes
  bool lacking;          // the code page lacks it: `ansi` is the default character
};

std::vector<NameCharacter> CharactersOf(InventorySystem& system, const std::u16string& text) {
  std::vector<NameCharacter> characters;
  for (size_t at = 0; at < text.size();) {
    const bool pair = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
                      text[at + 1] <= 0xDFFF;
    NameCharacter c;
    c.units = text.substr(at, pair ? 2 : 1);
    c.ansi = system.WideToAnsi(c.units.data(), c.units.size(), 8);
    c.lacking = c.ansi == "?" && c.units != u"?";
    characters.push_back(c);
    at += c.units.size();
  }
  return characters;
}

bool SameCharacter(InventorySystem& system, const NameCharacter& a, const NameCharacter& b) {
  if (a.lacking || b.lacking) return a.lacking && b.lacking && system.UpperCaseWide(a.units) == system.UpperCaseWide(b.units);
  return UpperCaseText(a.ansi) == UpperCaseText(b.ansi);
}

}  // namespace

bool PassesProcessFilter(InventorySystem& system, const std::u16string& imageFileName) {
  if (ProcessFilter.empty()) return true;
  const std::vector<NameCharacter> wanted = CharactersOf(system, Utf16FromUtf8(ProcessFilter));
  const std::vector<NameCharacter> found = CharactersOf(system, imageFileName);
  if (wanted.size() != found.size()) return false;
  for (size_t i = 0; i < wanted.size(); ++i)
    if (!SameCharacter(system, wanted[i], found[i])) return false;
  return true;
}

}  // namespace lurvik
