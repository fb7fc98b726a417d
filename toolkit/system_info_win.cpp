// System information on Windows: the version queries, GetCommandLineW, the program's module
// path, and the numbered system libraries with calls through plain entry-point addresses.
#include <windows.h>

#include <atomic>

#include "toolkit/library_search_win.h"
#include "toolkit/object_registry.h"
#include "toolkit/system_info.h"
#include "toolkit/wide_text_win.h"

namespace lurvik {
namespace {

#ifdef LURVIK_TEST_SEAMS
std::atomic<int32_t> OsVersionCodeOverride{0};

// The decimal number in LURVIK_OS_VERSION_CODE, or 0 when it is unset or not a number.
int32_t OsVersionCodeFromEnvironment() {
  char value[16] = {};
  DWORD length = GetEnvironmentVariableA("LURVIK_OS_VERSION_CODE", value, sizeof value);
  if (length == 0 || length > 9) return 0;
  int32_t code = 0;
  for (DWORD i = 0; i < length; ++i) {
    if (value[i] < '0' || value[i] > '9') return 0;
    code = code * 10 + (value[i] - '0');
  }
  return code;
}
#endif

OsVersionRecord QueryOsVersion() {
  OsVersionRecord record = {};
  OSVERSIONINFOA basic = {};
  basic.dwOSVersionInfoSize = sizeof basic;  // 148
  record.queryOk = GetVersionExA(&basic) != 0;
  if (!record.queryOk) return record;
  record.platformId = basic.dwPlatformId;
  record.major = basic.dwMajorVersion;
  record.minor = basic.dwMinorVersion;
  if (record.platformId == VER_PLATFORM_WIN32_NT) {
    OSVERSIONINFOEXA extended = {};
    extended.dwOSVersionInfoSize = sizeof extended;  // 156
    record.extendedOk = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)) != 0;
    record.productType = extended.wProductType;
  }
  return record;
}

// The index of the next parameter that ArgumentAt with a negative index reads.
thread_local int32_t ParameterCursor = 0;

// A library loaded by name, freed when the registry lets go of it.
class LibraryModule {
 public:
  explicit LibraryModule(HMODULE module) : module_(module) {}
  ~LibraryModule() { FreeLibrary(module_); }
  LibraryModule(const LibraryModule&) = delete;
  LibraryModule& operator=(const LibraryModule&) = delete;
  HMODULE Module() const { return module_; }

 private:
  HMODULE module_;
};

// Never destroyed: the program end releases the libraries explicitly.
ObjectRegistry<LibraryModule>& Libraries() {
  static ObjectRegistry<LibraryModule>& libraries = *new ObjectRegistry<LibraryModule>();
  return libraries;
}

}  // namespace

static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(OSVERSIONINFOEXA) == 156, "version record sizes");

int32_t OsVersionCode() {
#ifdef LURVIK_TEST_SEAMS
  if (int32_t code = OsVersionCodeOverride.load()) return code;
  if (int32_t code = OsVersionCodeFromEnvironment()) return code;
#endif
  return ClassifyOsVersion(QueryOsVersion());
}

#ifdef LURVIK_TEST_SEAMS
void SetOsVersionCodeOverride(int32_t code) { OsVersionCodeOverride.store(code); }
#endif

namespace {

// The command line in its true characters, as UTF-8: GetCommandLineA would give a character
// the code page lacks as a look-alike letter, and a path or a filter so typed would name
// another file. Blanks and quotes are single bytes in UTF-8, never part of another character,
// so the splitting rules apply unchanged.
std::string CommandLineText() {
  const wchar_t* line = GetCommandLineW();
  return line == nullptr ? std::string() : Utf8FromWide(line);
}

}  // namespace

int32_t ArgumentCount() {
  size_t tokens = SplitCommandLine(CommandLineText()).size();
  return tokens == 0 ? 0 : static_cast<int32_t>(tokens - 1);
}

std::string ArgumentAt(int32_t index) {
  if (index >= 0) ParameterCursor = index;
  std::vector<std::string> tokens = SplitCommandLine(CommandLineText());
  int32_t at = ParameterCursor;
  if (at < 0 || static_cast<size_t>(at) + 1 >= tokens.size()) return std::string();
  ++ParameterCursor;
  return tokens[static_cast<size_t>(at) + 1];
}

std::string ProgramPath() {
  char path[260] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length >= sizeof path) length = sizeof path - 1;  // cut short: still zero-terminated
  std::string result(path, length);
  if (result.compare(0, 4, "\\\\?\\") == 0) result.erase(0, 4);
  return result;
}

void* OpenLibraryFile(int32_t number, const std::string& fileName) {
  if (number != ObjectRegistry<LibraryModule>::kNewNumber) Libraries().Release(number);
  HMODULE module = LoadSystemLibrary(fileName);
  if (!module) return nullptr;
  auto library = std::make_shared<LibraryModule>(module);
  if (Libraries().Add(number, library) == ObjectRegistry<LibraryModule>::kRefused) return nullptr;  // freed with it
  return module;
}

void CloseAllLibraries() { Libraries().TakeAll(); }

uint32_t CallEntryPoint(void* address, uintptr_t a) {
  typedef DWORD(WINAPI * EntryPoint)(uintptr_t);
  return reinterpret_cast<EntryPoint>(address)(a);
}

uint32_t CallEntryPoint(void* address, uintptr_t a, uintptr_t b, uint32_t c) {
  typedef DWORD(WINAPI * EntryPoint)(uintptr_t, uintptr_t, DWORD);
  return reinterpret_cast<EntryPoint>(address)(a, b, c);
}

uint32_t CallEntryPoint(void* address, uintptr_t a, uintptr_t b, uintptr_t c, uint32_t d) {
  typedef DWORD(WINAPI * EntryPoint)(uintptr_t, uintptr_t, uintptr_t, DWORD);
  return reinterpret_cast<EntryPoint>(address)(a, b, c, d);
}

}  // namespace lurvik
