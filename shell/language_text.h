// The bilingual table of interface texts: 101 text numbers by 3 language slots (0 English,
// 1 German, 2 unused), filled once at start-up and read by number in the current language.
#pragma once
#include <cstdint>
#include <string>

namespace lurvik {

constexpr int kLanguageTextRows = 101;
constexpr int kLanguageSlots = 3;

extern int32_t CurrentLanguage;  // 0 English, 1 German

// Fills text numbers 1 to 13 in both languages; every other slot stays empty.
void FillLanguageText();
// LanguageText(t, CurrentLanguage); empty for numbers outside the table.
std::string LanguageText(int number);
std::string LanguageTextIn(int number, int language);
// 1 when the primary language of a language identifier is German (LANG_GERMAN, 7), else 0.
int32_t LanguageForLocale(uint32_t languageId);

}  // namespace lurvik
