// The start-up under Wine: the version text read from the test program's own resource (the
// same resource as the program's), the refusal of systems older than XP with its recorded
// box, the globals a normal start-up fills, the debug privilege and the locale's language.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "shell/app_state.h"
#include "shell/language_text.h"
#include "shell/optional_entry_points_win.h"
#include "shell/privilege_win.h"
#include "shell/startup_win.h"
#include "shell/version_string.h"
#include "toolkit/system_info.h"

using namespace lurvik;

namespace {

std::string TempFilePath(const char* name) {
  char folder[MAX_PATH] = {};
  GetTempPathA(sizeof folder, folder);
  return std::string(folder) + name;
}

std::string FileContent(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

// Runs the start-up steps with an injected OS code and the message box recorded in a file;
// restores the override and the command-line globals afterwards.
class ShellStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    boxLog = TempFilePath("lurvik_startup_box.txt");
    DeleteFileA(boxLog.c_str());
    SetEnvironmentVariableA("LURVIK_MESSAGE_BOX_LOG", boxLog.c_str());
  }
  void TearDown() override {
    SetOsVersionCodeOverride(0);
    SetEnvironmentVariableA("LURVIK_MESSAGE_BOX_LOG", nullptr);
    DeleteFileA(boxLog.c_str());
    ProcessFilter.clear();
    BatchLogPath.clear();
  }
  std::string boxLog;
};

}  // namespace

TEST(ShellVersion, OwnFileVersionReadsAsTheResourceSpellsIt) {
  EXPECT_EQ(ReadFileVersionString(ProgramPath(), "FileVersion"), "2,0,1,387");
  EXPECT_EQ(ReadFileVersionString(ProgramPath(), "ProductVersion"), "2,0,1,0");
}

TEST(ShellVersion, MissingValueResourceOrFileGivesTheEmptyText) {
  EXPECT_EQ(ReadFileVersionString(ProgramPath(), "CompanyName"), "");
  EXPECT_EQ(ReadFileVersionString("C:\\no\\such\\file.exe", "FileVersion"), "");
  // A file without a version resource at all.
  std::string plain = TempFilePath("lurvik_plain.txt");
  std::ofstream(plain) << "no resources here";
  EXPECT_EQ(ReadFileVersionString(plain, "FileVersion"), "");
  DeleteFileA(plain.c_str());
}

TEST_F(ShellStartup, OlderThanXpShowsTheErrorBoxAndStops) {
  for (int32_t code : {50, 40, 20, 5}) {
    DeleteFileA(boxLog.c_str());
    SetOsVersionCodeOverride(code);
    EXPECT_FALSE(RunStartup()) << code;
    EXPECT_EQ(FileContent(boxLog),
              "Error!\r\nThis program supports only operating systems above windows 2000!\r\n16\r\n")
        << code;
  }
}

TEST_F(ShellStartup, XpAndLaterStartAndFillTheGlobals) {
  for (int32_t code : {60, 65, 100}) {
    SetOsVersionCodeOverride(code);
    EXPECT_TRUE(RunStartup()) << code;
  }
  EXPECT_EQ(FileContent(boxLog), "");  // no box at all
  EXPECT_EQ(ProgramVersion, "2,0,1,387");
  EXPECT_EQ(OpenVerb, "open");
  EXPECT_GT(strlen(WindowsDirectory), 2u);
  EXPECT_EQ(GetFileAttributesA(WindowsDirectory) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
  // Wine, like every Windows from Vista on, has all five optional entry points.
  EXPECT_NE(PsapiLibrary, nullptr);
  EXPECT_NE(GetModuleFileNameExA_Address, nullptr);
  EXPECT_NE(GetProcessImageFileNameA_Address, nullptr);
  EXPECT_NE(GetProcessId_Address, nullptr);
  EXPECT_NE(GetThreadId_Address, nullptr);
  EXPECT_NE(GetProcessIdOfThread_Address, nullptr);
  EXPECT_EQ(CallEntryPoint(GetProcessId_Address, reinterpret_cast<uintptr_t>(GetCurrentProcess())),
            GetCurrentProcessId());
  // The test program's own parameters (gtest flags, if any) arrive as the filter and log path.
  EXPECT_EQ(ProcessFilter, ArgumentCount() >= 1 ? ArgumentAt(0) : "");
  EXPECT_EQ(BatchLogPath, ArgumentCount() >= 2 ? ArgumentAt(1) : "");
}

// Run by tests/e2e/startup_language.sh with LANG set and the expected language (0 English,
// 1 German) in LURVIK_EXPECT_LANGUAGE; skipped otherwise.
TEST_F(ShellStartup, LanguageFollowsTheUserLocale) {
  const char* expected = getenv("LURVIK_EXPECT_LANGUAGE");
  if (expected == nullptr) GTEST_SKIP() << "LURVIK_EXPECT_LANGUAGE not set";
  SetOsVersionCodeOverride(60);
  CurrentLanguage = -1;
  ASSERT_TRUE(RunStartup());
  EXPECT_EQ(CurrentLanguage, atoi(expected));
  EXPECT_EQ(LanguageText(10), atoi(expected) == 1 ? "Fertig!" : "Ready! ");
}

TEST(ShellPrivilege, DebugPrivilegeOfTheOwnProcess) {
  EXPECT_NE(EnableProcessPrivilege(GetCurrentProcessId(), "SeDebugPrivilege", SE_PRIVILEGE_ENABLED), 0);
  // Bits other than "enabled" and "used for access" are dropped, not passed on.
  EXPECT_NE(EnableProcessPrivilege(GetCurrentProcessId(), "SeDebugPrivilege", 0xFFFFFFFFu), 0);
}

TEST(ShellPrivilege, ProcessThatCannotBeOpenedGivesZero) {
  EXPECT_EQ(EnableProcessPrivilege(0xFFFFFFF0u, "SeDebugPrivilege", SE_PRIVILEGE_ENABLED), 0);
}
