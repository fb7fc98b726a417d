// TextMatcher: case folding character by character through tables made with UpperCaseText once
// per search, so a search through many thousand node texts makes no system call per text.
#include "toolkit/text_match.h"

#include <cstring>

#include "toolkit/text.h"

namespace lurvik {

TextMatcher::TextMatcher(const std::string& searched, bool matchCase, bool wholeWord, bool (*isLeadByte)(uint8_t))
    : matchCase_(matchCase), wholeWord_(wholeWord) {
  for (int byte = 0; byte < 256; ++byte) {
    lead_[byte] = isLeadByte(static_cast<uint8_t>(byte));
    doubleBytes_ = doubleBytes_ || lead_[byte];
    const std::string upper = UpperCaseText(std::string(1, static_cast<char>(byte)));
    upper_[byte] = upper.empty() || lead_[byte] ? static_cast<char>(byte) : upper[0];
  }
  Fold(searched);
  searched_ = scratch_;
}

size_t TextMatcher::CharacterLength(std::string_view text, size_t at) const {
  return at + 1 < text.size() && lead_[static_cast<uint8_t>(text[at])] ? 2 : 1;
}

void TextMatcher::Fold(std::string_view text) {
  scratch_.assign(text);
  starts_.assign(text.size() + 1, 0);
  for (size_t at = 0; at < text.size(); at += CharacterLength(text, at)) {
    starts_[at] = 1;
    if (matchCase_) continue;
    const uint8_t lead = static_cast<uint8_t>(text[at]);
    if (CharacterLength(text, at) == 1) {
      scratch_[at] = upper_[lead];
      continue;
    }
    std::unique_ptr<std::array<uint16_t, 256>>& pairs = upperPairs_[lead];
    if (!pairs) {
      pairs = std::make_unique<std::array<uint16_t, 256>>();
      for (int trail = 0; trail < 256; ++trail) {
        const std::string upper = UpperCaseText(std::string{static_cast<char>(lead), static_cast<char>(trail)});
        (*pairs)[trail] = upper.size() == 2 ? static_cast<uint16_t>(static_cast<uint8_t>(upper[0]) << 8 |
                                                                    static_cast<uint8_t>(upper[1]))
                                            : static_cast<uint16_t>(lead << 8 | trail);
      }
    }
    const uint16_t pair = (*pairs)[static_cast<uint8_t>(text[at + 1])];
    scratch_[at] = static_cast<char>(pair >> 8);
    scratch_[at + 1] = static_cast<char>(pair & 0xFF);
  }
  starts_[text.size()] = 1;
}

// Letters and digits of ASCII, "_", and every byte from 0x80 on: the code page's letters and
// double-byte characters. A whole word has no such character on both sides of either edge.
bool TextMatcher::IsWordCharacter(std::string_view text, size_t at) const {
  const uint8_t byte = static_cast<uint8_t>(text[at]);
  return byte >= 0x80 || byte == '_' || (byte >= '0' && byte <= '9') || ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z');
}

bool TextMatcher::IsWholeWord(std::string_view text, size_t previous, size_t at, size_t last, size_t end) const {
  const bool openStart = at > 0 && IsWordCharacter(text, previous) && IsWordCharacter(text, at);
  const bool openEnd = end < text.size() && IsWordCharacter(text, last) && IsWordCharacter(text, end);
  return !openStart && !openEnd;
}

bool TextMatcher::MatchesSingleBytes(std::string_view text) const {
  const size_t length = searched_.size();
  auto fold = [this](char c) { return matchCase_ ? c : upper_[static_cast<uint8_t>(c)]; };
  for (size_t at = 0; at + length <= text.size(); ++at) {
    size_t matched = 0;
    while (matched < length && fold(text[at + matched]) == searched_[matched]) ++matched;
    if (matched == length && (!wholeWord_ || IsWholeWord(text, at - 1, at, at + length - 1, at + length))) return true;
  }
  return false;
}

bool TextMatcher::Matches(std::string_view text) {
  const size_t length = searched_.size();
  if (length == 0 || text.size() < length) return false;
  if (!doubleBytes_) return MatchesSingleBytes(text);
  Fold(text);
  size_t previous = 0;  // the start of the character before `at`
  for (size_t at = 0; at + length <= text.size(); previous = at, at += CharacterLength(text, at)) {
    if (!starts_[at + length] || std::memcmp(scratch_.data() + at, searched_.data(), length) != 0) continue;
    if (!wholeWord_) return true;
    size_t last = at;  // the start of the match's last character
    while (last + CharacterLength(text, last) < at + length) last += CharacterLength(text, last);
    if (IsWholeWord(text, previous, at, last, at + length)) return true;
  }
  return false;
}

}  // namespace lurvik
