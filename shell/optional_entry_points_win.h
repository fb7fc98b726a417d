// Addresses of system functions that older Windows versions lack. They are looked up at
// start-up instead of being imported, so the program still loads on Windows XP; each is
// nullptr when missing, and every caller tests it before calling through CallEntryPoint.
#pragma once

namespace lurvik {

extern void* PsapiLibrary;  // module handle of "PSAPI.dll", released at program end
extern void* GetModuleFileNameExW_Address;
extern void* GetProcessImageFileNameW_Address;
extern void* GetProcessId_Address;
extern void* GetThreadId_Address;
extern void* GetProcessIdOfThread_Address;

// Loads the system folder's "PSAPI.dll" as library number 1 and looks up the five entry points.
void LoadOptionalEntryPoints();

}  // namespace lurvik
