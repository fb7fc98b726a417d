// Restricting the search for libraries to the system folder, and loading system libraries by
// their full path. The restriction is read by later loads only; it is set on the main thread
// before any other thread exists.
#include "toolkit/library_search_win.h"

namespace lurvik {

namespace {

// True once loads by name search the system folder alone (SetDefaultDllDirectories).
bool SearchRestricted = false;

}  // namespace

void* EntryPointOf(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(library, name));
}

void RestrictLibrarySearch() {
  HMODULE kernel = GetModuleHandleA("kernel32");
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
  typedef BOOL(WINAPI * SetDllDirectoryFunction)(LPCSTR);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(EntryPointOf(kernel, "SetDefaultDllDirectories"));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    SearchRestricted = true;
    return;
  }
  auto setDirectory = reinterpret_cast<SetDllDirectoryFunction>(EntryPointOf(kernel, "SetDllDirectoryA"));
  if (setDirectory != nullptr) setDirectory("");
}

HMODULE LoadSystemLibrary(const std::string& fileName) {
  char folder[MAX_PATH] = {};
  UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::string path = std::string(folder, length) + "\\" + fileName;
  if (SearchRestricted) return LoadLibraryA(path.c_str());
  // Without the restriction a library's own imports would be looked for in the program's
  // folder first; with the altered search path they are looked for in its own folder first.
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::vector<void*> SystemEntryPoints(const std::string& fileName, std::initializer_list<const char*> names) {
  HMODULE library = LoadSystemLibrary(fileName);
  std::vector<void*> addresses;
  for (const char* name : names) addresses.push_back(EntryPointOf(library, name));
  return addresses;
}

}  // namespace lurvik
