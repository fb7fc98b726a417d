// The program entry: start-up, then the shell, then the program end, which never returns.
#include <windows.h>

#include "shell/program_end_win.h"
#include "shell/shell.h"
#include "shell/startup_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (lurvik::RunStartup()) lurvik::RunShell();
  lurvik::EndProgram(0);
}
