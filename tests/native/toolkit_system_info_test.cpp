// The OS code table from injected version records, and the splitting of command lines.
#include "toolkit/system_info.h"

#include <gtest/gtest.h>

using namespace lurvik;

namespace {

OsVersionRecord Nt(uint32_t major, uint32_t minor, uint8_t productType, bool extendedOk = true) {
  return OsVersionRecord{true, 2, major, minor, extendedOk, productType};
}

OsVersionRecord Win9x(uint32_t major, uint32_t minor) { return OsVersionRecord{true, 1, major, minor, false, 0}; }

using Tokens = std::vector<std::string>;

}  // namespace

TEST(OsVersionCode, EveryRowOfTheTable) {
  const uint8_t workstation = 1, server = 3, domainController = 2;
  EXPECT_EQ(ClassifyOsVersion(Nt(3, 51, server)), 5);
  EXPECT_EQ(ClassifyOsVersion(Nt(4, 0, workstation)), 20);
  EXPECT_EQ(ClassifyOsVersion(Nt(5, 0, server)), 50);
  EXPECT_EQ(ClassifyOsVersion(Nt(5, 1, workstation)), 60);
  EXPECT_EQ(ClassifyOsVersion(Nt(5, 2, workstation)), 60) << "XP x64";
  EXPECT_EQ(ClassifyOsVersion(Nt(5, 2, server)), 65) << "Server 2003";
  EXPECT_EQ(ClassifyOsVersion(Nt(5, 2, domainController)), 65);
  EXPECT_EQ(ClassifyOsVersion(Nt(6, 0, workstation)), 70);
  EXPECT_EQ(ClassifyOsVersion(Nt(6, 0, server)), 75);
  EXPECT_EQ(ClassifyOsVersion(Nt(6, 1, workstation)), 80);
  EXPECT_EQ(ClassifyOsVersion(Nt(6, 1, server)), 75) << "2008 R2 ranks below 7";
  EXPECT_EQ(ClassifyOsVersion(Win9x(4, 0)), 10);
  EXPECT_EQ(ClassifyOsVersion(Win9x(4, 10)), 30);
  EXPECT_EQ(ClassifyOsVersion(Win9x(7, 10)), 30) << "the 9x major is not read";
  EXPECT_EQ(ClassifyOsVersion(Win9x(4, 90)), 40);
}

TEST(OsVersionCode, LaterUnknownAndFailedGive100) {
  EXPECT_EQ(ClassifyOsVersion(Nt(6, 2, 1)), 100);
  EXPECT_EQ(ClassifyOsVersion(Nt(6, 3, 1)), 100);
  EXPECT_EQ(ClassifyOsVersion(Nt(10, 0, 1)), 100);
  EXPECT_EQ(ClassifyOsVersion(Nt(5, 3, 1)), 100);
  EXPECT_EQ(ClassifyOsVersion(Nt(2, 0, 1)), 100);
  EXPECT_EQ(ClassifyOsVersion(Win9x(4, 3)), 100);
  EXPECT_EQ(ClassifyOsVersion(OsVersionRecord{true, 0, 5, 1, true, 1}), 100) << "Win32s platform";
  EXPECT_EQ(ClassifyOsVersion(OsVersionRecord{true, 3, 5, 1, true, 1}), 100);
  EXPECT_EQ(ClassifyOsVersion(OsVersionRecord{false, 2, 5, 1, true, 1}), 100) << "failed first query";
}

TEST(OsVersionCode, FailedExtendedQueryMeansNotAWorkstation) {
  EXPECT_EQ(ClassifyOsVersion(Nt(5, 2, 1, false)), 65);
  EXPECT_EQ(ClassifyOsVersion(Nt(6, 0, 1, false)), 75);
  EXPECT_EQ(ClassifyOsVersion(Nt(6, 1, 1, false)), 75);
  EXPECT_EQ(ClassifyOsVersion(Nt(5, 1, 1, false)), 60) << "5.1 does not look at the product type";
}

TEST(CommandLine, ProgramAndParameters) {
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\Lurvik\\lurvik.exe\""), Tokens{"C:\\Program Files\\Lurvik\\lurvik.exe"})
      << "the quoted program path alone: no parameters";
  EXPECT_EQ(SplitCommandLine("lurvik.exe \"\" C:\\log.txt"), (Tokens{"lurvik.exe", "", "C:\\log.txt"}))
      << "an empty quoted parameter counts: unattended run over all processes";
  EXPECT_EQ(SplitCommandLine("lurvik.exe notepad.exe \"C:\\My Logs\\out.txt\""),
            (Tokens{"lurvik.exe", "notepad.exe", "C:\\My Logs\\out.txt"}));
  EXPECT_EQ(SplitCommandLine("  lurvik.exe   a  "), (Tokens{"lurvik.exe", "a"}));
  EXPECT_EQ(SplitCommandLine(""), Tokens{});
  EXPECT_EQ(SplitCommandLine("   "), Tokens{});
}

TEST(CommandLine, TabsQuotesAndUnclosedQuotes) {
  EXPECT_EQ(SplitCommandLine("p a\tb"), (Tokens{"p", "a\tb"})) << "a tab does not separate";
  EXPECT_EQ(SplitCommandLine("p \"a\"b c"), (Tokens{"p", "a", "b", "c"})) << "a token starts right after a closing quote";
  EXPECT_EQ(SplitCommandLine("p \"a\"\"\""), (Tokens{"p", "a", ""}));
  EXPECT_EQ(SplitCommandLine("p a\"b\" c"), (Tokens{"p", "a\"b\"", "c"})) << "quotes inside a bare token are ordinary";
  EXPECT_EQ(SplitCommandLine("p \"open end  "), (Tokens{"p", "open end  "})) << "an unclosed quote runs to the end";
  EXPECT_EQ(SplitCommandLine("p \""), (Tokens{"p", ""}));
  EXPECT_EQ(SplitCommandLine("p \"x\\\" y\""), (Tokens{"p", "x\\", "y\""})) << "no escape characters";
}
