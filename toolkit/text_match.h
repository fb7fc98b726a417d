// The test of the find dialog: does a text contain the searched text? With or without letter
// case (ignored the way UpperCaseText ignores it, in the user's code page), anywhere or as a
// whole word, and only at character boundaries, so the trail byte of a double-byte character
// never starts or ends a match.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lurvik {

class TextMatcher {
 public:
  // isLeadByte: the code page's first bytes of double-byte characters (none in single-byte ones).
  TextMatcher(const std::string& searched, bool matchCase, bool wholeWord, bool (*isLeadByte)(uint8_t));
  bool Matches(std::string_view text);

 private:
  // The text in upper case (or as it is) in scratch_, one byte for each byte.
  void Fold(std::string_view text);
  size_t CharacterLength(std::string_view text, size_t at) const;
  bool IsWordCharacter(std::string_view text, size_t at) const;
  // No word goes on across either edge of the match [at, end); previous and last are the starts
  // of the characters before it and at its end.
  bool IsWholeWord(std::string_view text, size_t previous, size_t at, size_t last, size_t end) const;
  // In a single-byte code page every byte is a character: matched in place, folded on the fly.
  bool MatchesSingleBytes(std::string_view text) const;

  bool matchCase_, wholeWord_;
  std::array<bool, 256> lead_{};  // first bytes of double-byte characters
  bool doubleBytes_ = false;      // the code page has any
  std::array<char, 256> upper_{};  // single-byte characters
  // Double-byte characters, one table of 256 trail bytes per lead byte, made at its first use.
  std::array<std::unique_ptr<std::array<uint16_t, 256>>, 256> upperPairs_;
  std::string searched_, scratch_;
  std::vector<uint8_t> starts_;  // 1 where a character starts in scratch_
};

}  // namespace lurvik
