// Definitions of the process-wide application state (zero and empty until start-up fills it).
#include "shell/app_state.h"

namespace lurvik {

std::string ProcessFilter;
std::string BatchLogPath;
std::string OpenVerb;
std::string ProgramVersion;
char WindowsDirectory[530];
std::atomic<int32_t> QuitRequested{0};
uintptr_t ProgramInstance = 0;

intptr_t MainWindow = 0;
uintptr_t StatusBar = 0;
uintptr_t ProgressBar = 0;
uintptr_t HandleTree = 0;
uintptr_t TreeImages = 0;
intptr_t MainMenu = 0;
std::string StatusText;
int32_t ScanWorker = 0;
TreeModel KeptTreeNodes;

}  // namespace lurvik
