// The log file of an unattended scan: written completely, or reported as not written so the
// program can end with exit code 1.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "inventory/scan_handles_win.h"

using namespace lurvik;

namespace {

std::string ReadBack(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

TEST(InventoryScanHandles, LogFileIsWrittenCompletelyOrReportedAsNotWritten) {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "lurvik_scan_log_test.txt";
  std::string log = "************************\r\n*  LOG-File of Lurvik  *\r\n";
  for (int i = 0; i < 3000; ++i) log += "    Handle: " + std::to_string(i * 4) + "\r\n";  // several buffers
  EXPECT_TRUE(WriteLogFile(path, log));
  EXPECT_EQ(ReadBack(path), log);
  DeleteFileA(path.c_str());

  EXPECT_FALSE(WriteLogFile(std::string(folder) + "no_such_folder\\log.txt", log));
  // A folder is no file.
  EXPECT_FALSE(WriteLogFile(folder, log));
}

}  // namespace
