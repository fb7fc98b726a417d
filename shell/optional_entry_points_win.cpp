// Looks up the optional entry points: two in "PSAPI.dll" (opened through the toolkit so the
// program end releases it) and three in kernel32 (already loaded in every process).
#include "shell/optional_entry_points_win.h"

#include <windows.h>

#include "toolkit/system_info.h"

namespace lurvik {

void* PsapiLibrary = nullptr;
void* GetModuleFileNameExW_Address = nullptr;
void* GetProcessImageFileNameW_Address = nullptr;
void* GetProcessId_Address = nullptr;
void* GetThreadId_Address = nullptr;
void* GetProcessIdOfThread_Address = nullptr;

namespace {

void* LookUp(void* module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace

void LoadOptionalEntryPoints() {
  PsapiLibrary = OpenLibraryFile(1, "PSAPI.dll");
  GetModuleFileNameExW_Address = LookUp(PsapiLibrary, "GetModuleFileNameExW");
  GetProcessImageFileNameW_Address = LookUp(PsapiLibrary, "GetProcessImageFileNameW");

  void* kernel = GetModuleHandleA("kernel32");
  GetProcessId_Address = LookUp(kernel, "GetProcessId");
  GetThreadId_Address = LookUp(kernel, "GetThreadId");
  GetProcessIdOfThread_Address = LookUp(kernel, "GetProcessIdOfThread");
}

}  // namespace lurvik
