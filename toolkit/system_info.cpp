// The portable halves of the system information: classifying a version record into the
// program's OS code, and splitting a command line into tokens.
#include "toolkit/system_info.h"

namespace lurvik {

int32_t ClassifyOsVersion(const OsVersionRecord& r) {
  if (!r.queryOk) return 100;
  if (r.platformId == 1) {  // 9x: the minor version alone decides
    switch (r.minor) {
      case 0: return 10;
      case 10: return 30;
      case 90: return 40;
      default: return 100;
    }
  }
  if (r.platformId != 2) return 100;
  bool workstation = r.extendedOk && r.productType == 1;
  switch (r.major) {
    case 3: return 5;
    case 4: return 20;
    case 5:
      if (r.minor == 0) return 50;
      if (r.minor == 1) return 60;
      if (r.minor == 2) return workstation ? 60 : 65;
      return 100;
    case 6:
      if (r.minor == 0) return workstation ? 70 : 75;
      if (r.minor == 1) return workstation ? 80 : 75;
      return 100;
    default: return 100;
  }
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> tokens;
  size_t at = 0;
  const size_t end = line.size();
  for (;;) {
    while (at < end && line[at] == ' ') ++at;
    if (at >= end) break;
    if (line[at] == '"') {
      // Up to the next quote; the next token may start right after it.
      size_t close = line.find('"', at + 1);
      if (close == std::string::npos) close = end;
      tokens.push_back(line.substr(at + 1, close - at - 1));
      at = close + 1;
    } else {
      size_t blank = line.find(' ', at);
      if (blank == std::string::npos) blank = end;
      tokens.push_back(line.substr(at, blank - at));
      at = blank;
    }
  }
  return tokens;
}

}  // namespace lurvik
