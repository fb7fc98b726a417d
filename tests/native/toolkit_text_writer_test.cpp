// The text writer's buffering (4095/4096 bytes, texts that do not fit, order of bytes) and its
// failure reporting over a scripted sink, and the numbered text files over real files.
#include "toolkit/text_file.h"
#include "toolkit/text_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace lurvik;

namespace {

// A scripted sink that records its calls as "M<distance>", "W<length>" and "C" and accepts
// `capacity` bytes in all; moves and closes can be made to fail.
struct ScriptedSink : FileSink {
  ScriptedSink(std::string& events, std::string& bytes, uint64_t capacity, bool failMove, bool failClose)
      : events(events), bytes(bytes), capacity(capacity), failMove(failMove), failClose(failClose) {}
  uint32_t Write(const char* text, uint32_t length) override {
    events += " W" + std::to_string(length);
    const uint32_t taken = static_cast<uint32_t>(std::min<uint64_t>(length, capacity - bytes.size()));
    bytes.append(text, taken);
    return taken;
  }
  bool MovePosition(int32_t distance) override { return events += " M" + std::to_string(distance), !failMove; }
  bool Close() override { return events += " C", !failClose; }
  std::string &events, &bytes;
  uint64_t capacity;
  bool failMove, failClose;
};

}  // namespace

// Each case writes texts of the given lengths (text i made of the letter 'a' + i), then
// closes; " |" in the events marks the call of Close. A file that lost bytes takes no more.
TEST(TextWriter, BufferingOrderAndFailures) {
  struct Case { const char* what; uint64_t capacity; bool failMove, failClose, buffered; std::vector<uint32_t> texts, results;
                std::string events; bool closed; size_t fileBytes; };
  const uint64_t all = UINT64_MAX;
  const Case cases[] = {
      {"4095 bytes wait for the close", all, false, false, true, {4095}, {4095}, " M0 | W4095 C", true, 4095},
      {"4096 bytes go at once", all, false, false, true, {4096}, {4096}, " M0 W4096 | C", true, 4096},
      {"what does not fit flushes first, in order", all, false, false, true, {3000, 3000, 1096, 5000, 4},
       {3000, 3000, 1096, 5000, 4}, " M0 W3000 W3000 W1096 W5000 | W4 C", true, 12100},
      {"an empty text leaves the initial state", all, false, false, true, {0}, {0}, " | C", true, 0},
      {"without a buffer every text goes direct", all, false, false, false, {2, 2}, {2, 2}, " W2 W2 | C", true, 4},
      {"a short direct write breaks the file", 5000, false, false, true, {6000, 4}, {5000, 0}, " M0 W6000 | C", false, 5000},
      {"a flush that lost bytes", 100, false, false, true, {3000, 3000, 1}, {3000, 0, 0}, " M0 W3000 | C", false, 100},
      {"a log cut at the final flush", 10, false, false, true, {300}, {300}, " M0 | W300 C", false, 10},
      {"a failed move", all, true, false, true, {3}, {0}, " M0 | C", false, 0},
      {"a failed close", all, false, true, true, {3}, {3}, " M0 | W3 C", false, 3}};
  for (const Case& c : cases) {
    std::string events, bytes, expected;
    BufferedTextWriter writer(std::make_unique<ScriptedSink>(events, bytes, c.capacity, c.failMove, c.failClose), c.buffered);
    std::vector<uint32_t> results;
    for (size_t i = 0; i < c.texts.size(); ++i) {
      results.push_back(writer.WriteText(std::string(c.texts[i], static_cast<char>('a' + i))));
      expected += std::string(c.texts[i], static_cast<char>('a' + i));
    }
    events += " |";
    EXPECT_EQ(writer.Close(), c.closed) << c.what;
    EXPECT_FALSE(writer.Close()) << c.what << ": a second close has nothing to close";
    EXPECT_EQ(results, c.results) << c.what;
    EXPECT_EQ(events, c.events) << c.what;
    EXPECT_EQ(bytes, expected.substr(0, c.fileBytes)) << c.what;
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// The numbered files over real files in a temporary folder.
TEST(TextFile, ReplacesEmptiesFlushesAndRefuses) {
  char folder[] = "/tmp/lurvik-text-file-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/log.txt", text = "Prozess \xE4\xF6\xFC\r\n";
  { std::ofstream(path, std::ios::binary) << std::string(10000, 'o'); }
  const intptr_t file = CreateTextFile(path);
  ASSERT_NE(file, 0);
  EXPECT_EQ(WriteText(file, text), text.size());
  EXPECT_EQ(ReadFile(path), "") << "the existing file is emptied at creation, the text waits in the buffer";
  EXPECT_TRUE(CloseTextFile(file));
  EXPECT_EQ(ReadFile(path), text);
  EXPECT_FALSE(CloseTextFile(file)) << "a closed number names no file";
  EXPECT_EQ(WriteText(file, "x"), 0u);
  const intptr_t empty = CreateTextFile(path);
  EXPECT_EQ(WriteText(empty, ""), 0u);
  EXPECT_TRUE(CloseTextFile(empty));
  EXPECT_EQ(ReadFile(path), "") << "an empty text leaves an empty file";
  const intptr_t pending = CreateTextFile(path);
  EXPECT_TRUE(pending != file && pending != empty && empty != file) << "numbers are not reused";
  WriteText(pending, "pending");
  CloseAllTextFiles();
  EXPECT_EQ(ReadFile(path), "pending");
  EXPECT_FALSE(CloseTextFile(pending));
  EXPECT_EQ(CreateTextFile(std::string(folder) + "/no-such-folder/log.txt"), 0);
  EXPECT_EQ(CreateTextFile(folder), 0) << "a folder is not a text file";
  EXPECT_EQ(WriteText(0, "x"), 0u);
  EXPECT_FALSE(CloseTextFile(0));
  std::remove(path.c_str());
  rmdir(folder);
}
