// Looks up the optional entry points: two in the system folder's "PSAPI.dll" (opened through
// the toolkit by its full path, so the program end releases it) and three in kernel32 (already
// loaded in every process).
#include "shell/optional_entry_points_win.h"

#include <windows.h>

#include "toolkit/library_search_win.h"
#include "toolkit/system_info.h"

namespace lurvik {

void* PsapiLibrary = nullptr;
void* GetModuleFileNameExW_Address = nullptr;
void* GetProcessImageFileNameW_Address = nullptr;
void* GetProcessId_Address = nullptr;
void* GetThreadId_Address = nullptr;
void* GetProcessIdOfThread_Address = nullptr;

void LoadOptionalEntryPoints() {
  PsapiLibrary = OpenLibraryFile(1, "PSAPI.dll");
  GetModuleFileNameExW_Address = EntryPointOf(static_cast<HMODULE>(PsapiLibrary), "GetModuleFileNameExW");
  GetProcessImageFileNameW_Address = EntryPointOf(static_cast<HMODULE>(PsapiLibrary), "GetProcessImageFileNameW");

  HMODULE kernel = GetModuleHandleA("kernel32");
  GetProcessId_Address = EntryPointOf(kernel, "GetProcessId");
  GetThreadId_Address = EntryPointOf(kernel, "GetThreadId");
  GetProcessIdOfThread_Address = EntryPointOf(kernel, "GetProcessIdOfThread");
}

}  // namespace lurvik
