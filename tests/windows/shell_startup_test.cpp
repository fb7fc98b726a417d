// The start-up under Wine: the debug privilege really enabled in the own token, and the
// language taken from the user's locale.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "shell/language_text.h"
#include "shell/privilege_win.h"
#include "shell/startup_win.h"
#include "toolkit/system_info.h"

using namespace lurvik;

namespace {

// Disables the debug privilege in the own token when asked, then returns its attributes
// there, or -1 when the token lacks it.
long DebugPrivilegeAttributes(bool disableFirst) {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token);
  TOKEN_PRIVILEGES off = {1, {{{0, 0}, 0}}};
  LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &off.Privileges[0].Luid);
  if (disableFirst) AdjustTokenPrivileges(token, FALSE, &off, 0, nullptr, nullptr);
  std::vector<uint8_t> buffer(8192);
  DWORD needed = 0;
  GetTokenInformation(token, TokenPrivileges, buffer.data(), buffer.size(), &needed);
  CloseHandle(token);
  const auto* list = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
  const LUID debug = off.Privileges[0].Luid;
  for (DWORD i = 0; i < list->PrivilegeCount; ++i)
    if (list->Privileges[i].Luid.LowPart == debug.LowPart && list->Privileges[i].Luid.HighPart == debug.HighPart)
      return static_cast<long>(list->Privileges[i].Attributes);
  return -1;
}

}  // namespace

// Bits other than "enabled" and "used for access" are dropped: passed on, the "removed" bit
// of 0xFFFFFFFF would take the privilege out of the token.
TEST(ShellPrivilege, DebugPrivilegeIsEnabledInTheOwnToken) {
  for (uint32_t attributes : {uint32_t{SE_PRIVILEGE_ENABLED}, 0xFFFFFFFFu}) {
    ASSERT_EQ(DebugPrivilegeAttributes(true) & SE_PRIVILEGE_ENABLED, 0) << "the privilege could not be disabled first";
    EXPECT_NE(EnableProcessPrivilege(GetCurrentProcessId(), "SeDebugPrivilege", attributes), 0);
    const long now = DebugPrivilegeAttributes(false);
    EXPECT_TRUE(now >= 0 && (now & SE_PRIVILEGE_ENABLED) != 0)
        << "asked with attributes 0x" << std::hex << attributes << ": expected the privilege enabled, got attributes "
        << (now < 0 ? "none (privilege removed)" : std::to_string(now));
  }
}

// Run by tests/e2e/startup_language.sh with LANG set and the expected language (0 English,
// 1 German) in LURVIK_EXPECT_LANGUAGE; skipped otherwise.
TEST(ShellStartup, LanguageFollowsTheUserLocale) {
  const char* expected = getenv("LURVIK_EXPECT_LANGUAGE");
  if (expected == nullptr) GTEST_SKIP() << "LURVIK_EXPECT_LANGUAGE not set";
  SetOsVersionCodeOverride(60);
  CurrentLanguage = -1;
  ASSERT_TRUE(RunStartup());
  SetOsVersionCodeOverride(0);
  EXPECT_EQ(CurrentLanguage, atoi(expected));
}
