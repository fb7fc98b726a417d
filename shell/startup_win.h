// The start-up of the program on the main thread: runtime, language table, operating-system
// check, version, optional entry points, command line, language and debug privilege.
#pragma once
#include <cstdint>

namespace lurvik {

// Runs the start-up steps in order. Returns false when the program must end at once
// (system older than Windows XP, after its message box has been answered).
bool RunStartup();

// The interface language of the user's locale: 1 German, 0 English (also when the locale
// can't be read).
int32_t UserLanguage();

}  // namespace lurvik
