// System information: the code of the Windows generation the program runs on, the command
// line split into parameters, the program's own path, and libraries with optional entry points
// that are called through plain addresses. Classification and splitting are portable; the
// rest has its bodies in system_info_win.cpp.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace lurvik {

// The fields of the two version queries that the classification reads.
struct OsVersionRecord {
  bool queryOk;         // the 148-byte query succeeded
  uint32_t platformId;  // 1 = 9x, 2 = NT
  uint32_t major, minor;
  bool extendedOk;      // the 156-byte extended query succeeded
  uint8_t productType;  // VER_NT_WORKSTATION = 1
};

// One code that grows with each release: 5 NT 3.x, 10 95, 20 NT 4, 30 98, 40 Me, 50 2000,
// 60 XP and XP x64, 65 Server 2003, 70 Vista, 75 Server 2008 (R2), 80 7, 100 anything later,
// unknown or failed.
int32_t ClassifyOsVersion(const OsVersionRecord& r);
// Queries the system on every call. In the test builds (LURVIK_TEST_SEAMS) a non-zero
// override, or else the environment variable LURVIK_OS_VERSION_CODE holding a decimal
// number, replaces the queried code; the shipped program has neither.
int32_t OsVersionCode();
void SetOsVersionCodeOverride(int32_t code);  // 0 = none; test builds only

// Every token of a command line, the program name first. Blanks separate (tabs do not); a
// token starting with a double quote runs to the next one, without the quotes.
std::vector<std::string> SplitCommandLine(const std::string& line);
// Parameters after the program name, from GetCommandLineW.
int32_t ArgumentCount();
// The parameter at a 0-based index, in UTF-8 (its true characters), or the empty text if there
// is none. A negative index
// reads the calling thread's parameter cursor, which each found parameter moves on by one.
std::string ArgumentAt(int32_t index);
// The program file's full path without a leading "\\?\".
std::string ProgramPath();

// Loads the system folder's copy of a library, by its full path, under a number of the
// caller's choice (or -1 for a new one); a library already held under that number is released
// first. The module handle, or null.
void* OpenLibraryFile(int32_t number, const std::string& fileName);
void CloseAllLibraries();

// Calls an entry point obtained from GetProcAddress in the platform's WINAPI convention and
// returns its 32-bit result. Handles and pointers are passed as uintptr_t.
uint32_t CallEntryPoint(void* address, uintptr_t a);
uint32_t CallEntryPoint(void* address, uintptr_t a, uintptr_t b, uint32_t c);
uint32_t CallEntryPoint(void* address, uintptr_t a, uintptr_t b, uintptr_t c, uint32_t d);

}  // namespace lurvik
