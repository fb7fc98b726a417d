// System information on a real (Wine) system: the command line, the program path, the OS code
// and its override, and entry points called through plain addresses.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "toolkit/system_info.h"

using namespace lurvik;

TEST(ToolkitSystemInfo, ArgumentsFollowTheRealCommandLine) {
  std::vector<std::string> tokens = SplitCommandLine(GetCommandLineA());
  ASSERT_GE(tokens.size(), 1u);
  EXPECT_EQ(ArgumentCount(), static_cast<int32_t>(tokens.size()) - 1);
  // The C runtime splits plain arguments (no blanks, no quotes) the same way.
  for (int i = 1; i < __argc && i < static_cast<int>(tokens.size()); ++i) {
    std::string argument = __argv[i];
    if (argument.find_first_of(" \t\"\\") == std::string::npos) EXPECT_EQ(ArgumentAt(i - 1), argument);
  }
  EXPECT_EQ(ArgumentAt(ArgumentCount()), "") << "no such parameter";
  EXPECT_EQ(ArgumentAt(-5 - ArgumentCount()), "");
  if (ArgumentCount() >= 1) {
    std::string first = ArgumentAt(0);
    EXPECT_EQ(ArgumentAt(-1), ArgumentCount() >= 2 ? tokens[2] : "") << "the cursor moved on after parameter 0";
    EXPECT_EQ(first, tokens[1]);
  }
}

TEST(ToolkitSystemInfo, ProgramPathEndsWithTheExeName) {
  std::string path = ProgramPath();
  const std::string name = "lurvik_windows_tests.exe";
  ASSERT_GT(path.size(), name.size());
  EXPECT_EQ(path.substr(path.size() - name.size()), name);
  EXPECT_NE(path.compare(0, 4, "\\\\?\\"), 0);
}

TEST(ToolkitSystemInfo, OsVersionCodeAndItsOverrides) {
  int32_t queried = OsVersionCode();
  EXPECT_GE(queried, 60) << "Wine reports a system from XP on";
  SetEnvironmentVariableA("LURVIK_OS_VERSION_CODE", "50");
  EXPECT_EQ(OsVersionCode(), 50);
  SetEnvironmentVariableA("LURVIK_OS_VERSION_CODE", "fifty");
  EXPECT_EQ(OsVersionCode(), queried) << "a value that is not a number is ignored";
  SetEnvironmentVariableA("LURVIK_OS_VERSION_CODE", nullptr);
  SetOsVersionCodeOverride(40);
  EXPECT_EQ(OsVersionCode(), 40);
  SetOsVersionCodeOverride(0);
  EXPECT_EQ(OsVersionCode(), queried);
}

TEST(ToolkitSystemInfo, LibrariesAndEntryPointsWithOneThreeAndFourArguments) {
  void* psapi = OpenLibraryFile(1, "PSAPI.dll");
  ASSERT_NE(psapi, nullptr);
  void* kernel = OpenLibraryFile(2, "kernel32.dll");
  ASSERT_NE(kernel, nullptr);

  void* getProcessId = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(kernel), "GetProcessId"));
  ASSERT_NE(getProcessId, nullptr);
  EXPECT_EQ(CallEntryPoint(getProcessId, reinterpret_cast<uintptr_t>(GetCurrentProcess())), GetCurrentProcessId())
      << "the pseudo-handle must arrive pointer-sized";

  char image[260] = {};
  void* imageName = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(psapi), "GetProcessImageFileNameA"));
  ASSERT_NE(imageName, nullptr);
  uint32_t length = CallEntryPoint(imageName, reinterpret_cast<uintptr_t>(GetCurrentProcess()),
                                   reinterpret_cast<uintptr_t>(image), sizeof image);
  EXPECT_GT(length, 0u);
  EXPECT_NE(std::string(image).find("lurvik_windows_tests.exe"), std::string::npos) << image;

  char module[260] = {};
  void* moduleName = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(psapi), "GetModuleFileNameExA"));
  ASSERT_NE(moduleName, nullptr);
  length = CallEntryPoint(moduleName, reinterpret_cast<uintptr_t>(GetCurrentProcess()), 0,
                          reinterpret_cast<uintptr_t>(module), sizeof module);
  EXPECT_EQ(std::string(module, length), ProgramPath());

  EXPECT_EQ(OpenLibraryFile(2, "no_such_library_lurvik.dll"), nullptr) << "reopening releases the old one first";
  EXPECT_NE(OpenLibraryFile(-1, "PSAPI.dll"), nullptr);
  CloseAllLibraries();
  EXPECT_NE(GetModuleHandleA("kernel32.dll"), nullptr);
}
