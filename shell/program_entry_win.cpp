// The program entry: start-up, then the shell, then the program end, which never returns. The
// search for libraries is restricted first, before anything loads one.
#include <windows.h>

#include "shell/program_end_win.h"
#include "shell/shell.h"
#include "shell/startup_win.h"
#include "toolkit/library_search_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  lurvik::RestrictLibrarySearch();
  if (lurvik::RunStartup()) lurvik::RunShell();
  lurvik::EndProgram(0);
}
