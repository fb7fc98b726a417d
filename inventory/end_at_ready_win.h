// The end-at-"Ready! " switch of the test builds, for the benchmark's timing of an interactive
// scan. The shipped programs read no switch: after "Ready! " they always go on.
#pragma once
#include <string>

namespace lurvik {

// Test builds with LURVIK_END_AT_READY=<Windows path>: that path, to which an interactive run
// writes its log and then ends, once its first scan has shown "Ready! ". Otherwise (and always
// in the shipped programs) "".
std::string EndAtReadyLogPath();

}  // namespace lurvik
