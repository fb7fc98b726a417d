// The scan as the procedure of its worker thread: one inventory through the Windows system
// layer and, in unattended mode, the writing and opening of the log file and the program end.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace lurvik {

// The worker procedure of the scan; its parameter is not used. In unattended mode (a log
// path was given) it does not return but ends the program.
DWORD WINAPI ScanHandles(void* unused);

// Writes text to a new file at path; true only when the file was created and every byte
// reached it, including the final flush.
bool WriteLogFile(const std::string& path, const std::string& text);

}  // namespace lurvik
