// Text file output: the program's log files. A file is created (or emptied), texts are written
// through the file's 4096-byte buffer, and closing tells whether every counted byte arrived.
#pragma once
#include <cstdint>
#include <string>

namespace lurvik {

// Creates the file, or empties it if it exists; returns its file number, 0 on failure. The
// path is UTF-8 (on Windows opened by its true characters, never by an ANSI look-alike).
intptr_t CreateTextFile(const std::string& path);
// Writes the bytes of the text unchanged. Returns the bytes that reached the file, or, for a
// text kept in the buffer, its length; 0 for an empty text, an unknown number, or a file that
// has already lost bytes (a failed write makes every later write of that file return 0).
uint32_t WriteText(intptr_t file, const std::string& text);
// Flushes and closes; false when the number names no open file, when the final flush or the
// close failed, or when any earlier write lost bytes. True means the file is complete.
bool CloseTextFile(intptr_t file);
// Program end: flushes and closes every file still open.
void CloseAllTextFiles();

}  // namespace lurvik
