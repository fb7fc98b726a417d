// Text files on a real Windows file system: a log-sized text replaces a longer existing file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "toolkit/text_file.h"

using namespace lurvik;

namespace {

std::string TempPath(const char* name) {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

std::string ReadWholeFile(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

}  // namespace

TEST(ToolkitTextFile, LogSizedTextReplacesALongerFile) {
  std::string path = TempPath("lurvik_text_file_test.txt");
  intptr_t old = CreateTextFile(path);
  ASSERT_NE(old, 0);
  EXPECT_EQ(WriteText(old, std::string(400000, 'o')), 400000u);
  EXPECT_TRUE(CloseTextFile(old));

  std::string log;
  for (int line = 0; log.size() < 300000; ++line) log += "Handle: " + std::to_string(line) + " \xC4\xD6\xDC\xDF\r\n";
  intptr_t file = CreateTextFile(path);
  ASSERT_NE(file, 0);
  EXPECT_EQ(WriteText(file, "Lurvik\r\n"), 8u);
  EXPECT_EQ(WriteText(file, log), log.size());
  EXPECT_TRUE(CloseTextFile(file));
  EXPECT_EQ(ReadWholeFile(path), "Lurvik\r\n" + log);
  DeleteFileA(path.c_str());
}
