// The interface texts in English and German (Windows-1252 bytes; "\xF6" is the "o" umlaut).
#include "shell/language_text.h"

namespace lurvik {

int32_t CurrentLanguage = 0;

namespace {
std::string Table[kLanguageTextRows * kLanguageSlots];

struct TextPair {
  int number;
  const char* english;
  const char* german;
};

const TextPair kTexts[] = {
    {1, "&Program", "&Programm"},
    {2, "get &handles again", "&Handles neu auslesen"},
    {3, "Imagename: ", "Prozesserzeuger: "},
    {4, "Filename: ", "Dateiname: "},
    {5, "Name of Folder: ", "Ordnername: "},
    {6, "&close", "&beenden"},
    {7, "Name of Object: ", "Objektname: "},
    {8, "Opened with Access Rights: ", "Ge\xF6" "ffnet mit Zugriffsrechten: "},
    {9, "...getting handles from ", "...lese Handles von "},
    {10, "Ready! ", "Fertig!"},
    {11, "create &log file", "&LOG-Datei erzeugen"},
    {12, "Save LOG File", "LOG-Datei abspeichern"},
    {13, "  LOG-File of Lurvik  ", "  LOG-Datei von Lurvik  "},
};
}  // namespace

void FillLanguageText() {
  for (const TextPair& text : kTexts) {
    Table[text.number * kLanguageSlots + 0] = text.english;
    Table[text.number * kLanguageSlots + 1] = text.german;
  }
}

std::string LanguageTextIn(int number, int language) {
  if (number < 0 || number >= kLanguageTextRows || language < 0 || language >= kLanguageSlots) return std::string();
  return Table[number * kLanguageSlots + language];
}

std::string LanguageText(int number) { return LanguageTextIn(number, CurrentLanguage); }

int32_t LanguageForLocale(uint32_t languageId) { return (languageId & 0xFF) == 7 ? 1 : 0; }

}  // namespace lurvik
