// The portable pieces of the start-up: the tidying of the version value and its table key,
// the language of a locale, and the meaning of the command-line parameters.
#include <gtest/gtest.h>

#include <tuple>

#include "shell/app_state.h"
#include "shell/command_parameters.h"
#include "shell/language_text.h"
#include "shell/version_string.h"

using namespace lurvik;

TEST(ShellVersionText, LineEndsBecomeTwoBlanksEndsAreTrimmedKeysAreEightHexDigits) {
  const std::pair<const char*, const char*> cases[] = {
      {"2,0,1,387", "2,0,1,387"}, {"2,0\r\n1", "2,0  1"},
      {"2\r0\r\n\r1", "2  0    1"},  // lone CR before and after a pair
      {"  2, 0 . 1  ", "2, 0 . 1"}, {"\r\n2\r\n", "2"}, {"\t2 ", "\t2"}, {"", ""}};  // only blanks are trimmed
  for (const auto& [raw, tidy] : cases) EXPECT_EQ(TidyVersionText(raw), tidy) << "[" << raw << "]";
  EXPECT_EQ(TranslationKey(0x0000, 0x04B0), "000004B0");
  EXPECT_EQ(TranslationKey(0x0409, 0x04E4), "040904E4");
  EXPECT_EQ(TranslationKey(0xFFFF, 0x0001), "FFFF0001");
}

TEST(ShellLanguage, EveryGermanLocaleAndNoOtherSelectsGerman) {
  for (uint32_t german : {0x407u, 0x807u, 0xC07u, 0x1007u, 0x1407u}) EXPECT_EQ(LanguageForLocale(german), 1) << german;
  for (uint32_t other : {0x409u, 0x40Cu, 0x809u, 0x413u, 0x0u, 0x700u}) EXPECT_EQ(LanguageForLocale(other), 0) << other;
}

// The filter and the log path as the start-up takes them from parameters 0 and 1.
TEST(ShellParameters, NoneOrOneParameterIsInteractiveTwoAreUnattended) {
  using Parameters = std::vector<std::string>;
  const std::tuple<Parameters, const char*, const char*> cases[] = {
      {{}, "", ""}, {{"notepad.exe"}, "notepad.exe", ""}, {{"", "C:\\logs\\all.txt"}, "", "C:\\logs\\all.txt"},
      {{"a.exe", "b.txt", "c", "d"}, "a.exe", "b.txt"}};
  for (const auto& [parameters, filter, logPath] : cases) {
    ProcessFilter.clear();
    BatchLogPath.clear();
    TakeCommandLineParameters(parameters);
    EXPECT_EQ(ProcessFilter, filter) << parameters.size() << " parameters";
    EXPECT_EQ(BatchLogPath, logPath) << parameters.size() << " parameters";
  }
}
