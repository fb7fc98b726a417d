// The portable halves of reading a version value: the key of the string table built from a
// translation entry, and the tidying of the value read from it.
#include "shell/version_string.h"

#include "toolkit/text.h"

namespace lurvik {

std::string TranslationKey(uint16_t language, uint16_t codePage) {
  return RightText("0000" + HexText(language), 4) + RightText("0000" + HexText(codePage), 4);
}

std::string TidyVersionText(const std::string& value) {
  std::string text = ReplaceText(value, "\r\n", "  ");
  text = ReplaceText(text, "\r", "  ");
  return TrimText(text);
}

}  // namespace lurvik
