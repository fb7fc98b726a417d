// CutToWholeCharacters and EndsWithBackslash: both walk the text from its start, the only
// direction in which lead and trail bytes can be told apart.
#include "inventory/ansi_characters.h"

namespace lurvik {

namespace {

// The last character boundary at or before `limit`.
size_t BoundaryAtOrBefore(InventorySystem& system, const std::string& text, size_t limit) {
  size_t at = 0;
  while (at < text.size()) {
    const bool doubleByte = system.IsDBCSLeadByte(static_cast<uint8_t>(text[at])) && at + 1 < text.size();
    const size_t next = at + (doubleByte ? 2 : 1);
    if (next > limit) break;
    at = next;
  }
  return at;
}

}  // namespace

std::string CutToWholeCharacters(InventorySystem& system, const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  return text.substr(0, BoundaryAtOrBefore(system, text, maxBytes));
}

bool EndsWithBackslash(InventorySystem& system, const std::string& text) {
  if (text.empty() || text.back() != '\\') return false;
  return BoundaryAtOrBefore(system, text, text.size() - 1) == text.size() - 1;
}

}  // namespace lurvik
