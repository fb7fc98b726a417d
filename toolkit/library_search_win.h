// Where the program's libraries come from: the system folder alone. A library that lies beside
// the program (in a downloads folder, say) must never run inside it with its rights, so the
// search by name is restricted at start-up and the program's own loads name the full path.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace lurvik {

// Restricts every later load by name to the system folder where the system can
// (SetDefaultDllDirectories: Windows 8, and Windows 7 with its update), else takes the current
// folder out of the search (SetDllDirectoryA(""): XP SP1 and later). Both are looked up at run
// time. The program entry calls it first, before anything loads a library.
void RestrictLibrarySearch();

// Loads the system folder's copy of a library by its full path (GetSystemDirectoryA and the
// file name); its own imports are looked for in the system folder first too. Null when the
// folder is unknown or the library cannot be loaded: never a load by the name alone.
HMODULE LoadSystemLibrary(const std::string& fileName);

// The address of an entry point of a library, or null when either is missing.
void* EntryPointOf(HMODULE library, const char* name);

// The named entry points of the system folder's copy of a library (LoadSystemLibrary), in the
// order given, each null when missing. The library stays loaded until the process ends, as an
// import would.
std::vector<void*> SystemEntryPoints(const std::string& fileName, std::initializer_list<const char*> names);

}  // namespace lurvik
