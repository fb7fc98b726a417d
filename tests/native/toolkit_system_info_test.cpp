// The OS code table from injected version records, and the splitting of command lines.
#include "toolkit/system_info.h"

#include <gtest/gtest.h>

using namespace lurvik;

// Records: query ok, platform (1 9x, 2 NT), major, minor, extended query ok, product type
// (1 workstation, 2 domain controller, 3 server).
TEST(OsVersionCode, EveryRowOfTheTableAndEverythingElseGives100) {
  const std::pair<OsVersionRecord, int32_t> cases[] = {
      {{true, 2, 3, 51, true, 3}, 5},    {{true, 2, 4, 0, true, 1}, 20},   {{true, 2, 5, 0, true, 3}, 50},
      {{true, 2, 5, 1, true, 1}, 60},    {{true, 2, 5, 2, true, 1}, 60},   {{true, 2, 5, 2, true, 3}, 65},
      {{true, 2, 5, 2, true, 2}, 65},    {{true, 2, 6, 0, true, 1}, 70},   {{true, 2, 6, 0, true, 3}, 75},
      {{true, 2, 6, 1, true, 1}, 80},    {{true, 2, 6, 1, true, 3}, 75},   {{true, 1, 4, 0, false, 0}, 10},
      {{true, 1, 4, 10, false, 0}, 30},  {{true, 1, 7, 10, false, 0}, 30}, {{true, 1, 4, 90, false, 0}, 40},
      // A failed extended query means "not a workstation", except on 5.1.
      {{true, 2, 5, 2, false, 1}, 65},   {{true, 2, 6, 0, false, 1}, 75},  {{true, 2, 6, 1, false, 1}, 75},
      {{true, 2, 5, 1, false, 1}, 60},
      // Later, unknown and failed.
      {{true, 2, 6, 2, true, 1}, 100},   {{true, 2, 6, 3, true, 1}, 100},  {{true, 2, 10, 0, true, 1}, 100},
      {{true, 2, 5, 3, true, 1}, 100},   {{true, 2, 2, 0, true, 1}, 100},  {{true, 1, 4, 3, false, 0}, 100},
      {{true, 0, 5, 1, true, 1}, 100},   {{true, 3, 5, 1, true, 1}, 100},  {{false, 2, 5, 1, true, 1}, 100}};
  for (const auto& [record, code] : cases)
    EXPECT_EQ(ClassifyOsVersion(record), code) << "platform " << record.platformId << ", " << record.major << "."
                                               << record.minor << ", product " << int(record.productType)
                                               << (record.extendedOk ? "" : ", extended query failed")
                                               << (record.queryOk ? "" : ", query failed");
}

// Blanks separate, tabs do not; a quoted part runs to its closing quote or the end, and a
// token starts right after it; there are no escape characters.
TEST(CommandLine, ProgramAndParameters) {
  using Tokens = std::vector<std::string>;
  const std::pair<const char*, Tokens> cases[] = {
      {"\"C:\\Program Files\\Lurvik\\lurvik.exe\"", {"C:\\Program Files\\Lurvik\\lurvik.exe"}},
      {"lurvik.exe \"\" C:\\log.txt", {"lurvik.exe", "", "C:\\log.txt"}},
      {"lurvik.exe notepad.exe \"C:\\My Logs\\out.txt\"", {"lurvik.exe", "notepad.exe", "C:\\My Logs\\out.txt"}},
      {"  lurvik.exe   a  ", {"lurvik.exe", "a"}}, {"", {}}, {"   ", {}}, {"p a\tb", {"p", "a\tb"}},
      {"p \"a\"b c", {"p", "a", "b", "c"}}, {"p \"a\"\"\"", {"p", "a", ""}}, {"p a\"b\" c", {"p", "a\"b\"", "c"}},
      {"p \"open end  ", {"p", "open end  "}}, {"p \"", {"p", ""}}, {"p \"x\\\" y\"", {"p", "x\\", "y\""}}};
  for (const auto& [line, tokens] : cases) EXPECT_EQ(SplitCommandLine(line), tokens) << "command line [" << line << "]";
}
