// The meaning of the command line: parameter 0 filters the processes by image name,
// parameter 1 names the log file of an unattended run. Further parameters are ignored.
#pragma once
#include <string>
#include <vector>

namespace lurvik {

// Sets ProcessFilter and BatchLogPath from the parameters after the program name.
void TakeCommandLineParameters(const std::vector<std::string>& parameters);

}  // namespace lurvik
