// Turns the command-line parameters into the process filter and the batch log path.
#include "shell/command_parameters.h"

#include "shell/app_state.h"

namespace lurvik {

void TakeCommandLineParameters(const std::vector<std::string>& parameters) {
  if (parameters.size() >= 2) {
    BatchLogPath = parameters[1];
    ProcessFilter = parameters[0];
  } else if (parameters.size() == 1) {
    ProcessFilter = parameters[0];
  }
}

}  // namespace lurvik
