// The start-up steps before the main window exists. Each step that fails leaves its global
// empty or null and the program goes on; only a system older than Windows XP ends it.
#include "shell/startup_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "shell/app_state.h"
#include "shell/command_parameters.h"
#include "shell/language_text.h"
#include "shell/optional_entry_points_win.h"
#include "shell/privilege_win.h"
#include "shell/program_end_win.h"
#include "shell/startup_message_win.h"
#include "shell/version_string.h"
#include "toolkit/runtime_win.h"
#include "toolkit/system_info.h"

namespace lurvik {

namespace {

constexpr int32_t kWindowsXpCode = 60;

// Two parameters at most mean something; further ones are not even read.
std::vector<std::string> FirstTwoParameters() {
  std::vector<std::string> parameters;
  int32_t count = ArgumentCount();
  for (int32_t index = 0; index < count && index < 2; ++index) parameters.push_back(ArgumentAt(index));
  return parameters;
}

void ReadWindowsDirectory() {
  UINT length = GetWindowsDirectoryA(WindowsDirectory, sizeof WindowsDirectory);
  // 0 is failure; a length of the buffer size or more means it did not fit.
  if (length == 0 || length >= sizeof WindowsDirectory) WindowsDirectory[0] = 0;
}

}  // namespace

int32_t UserLanguage() {
  uint32_t languageId = 0;
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_ILANGUAGE | LOCALE_RETURN_NUMBER, reinterpret_cast<LPSTR>(&languageId),
                 sizeof languageId);
  return LanguageForLocale(languageId);
}

bool RunStartup() {
  RememberMainThread();
  ProgramInstance = reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr));
  InitRuntime();  // private heap, locks, common controls, COM
  FillLanguageText();

  if (OsVersionCode() < kWindowsXpCode) {
    ShowStartupMessage("Error!", "This program supports only operating systems above windows 2000!", MB_ICONERROR);
    return false;
  }

  ProgramVersion = ReadFileVersionString(ProgramPath(), "FileVersion");
  OpenVerb = "open";
  ReadWindowsDirectory();
  LoadOptionalEntryPoints();
  TakeCommandLineParameters(FirstTwoParameters());
  CurrentLanguage = UserLanguage();
  EnableProcessPrivilege(GetCurrentProcessId(), "SeDebugPrivilege", SE_PRIVILEGE_ENABLED);
  return true;
}

}  // namespace lurvik
