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

// What a scripted sink did, kept outside it so the test can read it after the writer closed.
struct SinkLog {
  std::string bytes;
  std::vector<uint32_t> writes;  // length asked for by each write call
  std::vector<int32_t> moves;
  bool closed = false;
  // Failure injection: total bytes the "disk" accepts; moves and closes that fail.
  uint64_t capacity = UINT64_MAX;
  bool failMove = false;
  bool failClose = false;
};

class ScriptedSink : public FileSink {
 public:
  explicit ScriptedSink(SinkLog* log) : log_(log) {}
  uint32_t Write(const char* bytes, uint32_t length) override {
    log_->writes.push_back(length);
    uint64_t room = log_->capacity - log_->bytes.size();
    uint32_t taken = room < length ? static_cast<uint32_t>(room) : length;
    log_->bytes.append(bytes, taken);
    return taken;
  }
  bool MovePosition(int32_t distance) override {
    log_->moves.push_back(distance);
    return !log_->failMove;
  }
  bool Close() override {
    log_->closed = true;
    return !log_->failClose;
  }

 private:
  SinkLog* log_;
};

std::string Bytes(size_t n, char c) { return std::string(n, c); }

}  // namespace

TEST(TextWriter, TextBelowBufferSizeWaitsForCloseAndBufferSizeGoesDirect) {
  SinkLog small;
  {
    BufferedTextWriter writer(std::unique_ptr<FileSink>(new ScriptedSink(&small)));
    EXPECT_EQ(writer.WriteText(Bytes(4095, 'a')), 4095u);
    EXPECT_TRUE(small.writes.empty()) << "4095 bytes stay in the buffer";
    EXPECT_EQ(small.moves, std::vector<int32_t>{0}) << "the first write moves the position by 0, once";
    EXPECT_TRUE(writer.Close());
  }
  EXPECT_EQ(small.bytes, Bytes(4095, 'a'));
  EXPECT_TRUE(small.closed);

  SinkLog exact;
  BufferedTextWriter writer(std::unique_ptr<FileSink>(new ScriptedSink(&exact)));
  EXPECT_EQ(writer.WriteText(Bytes(4096, 'b')), 4096u);
  EXPECT_EQ(exact.writes, std::vector<uint32_t>{4096}) << "4096 bytes are written at once";
  EXPECT_EQ(writer.BufferedBytes(), 0);
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(exact.bytes, Bytes(4096, 'b'));
}

TEST(TextWriter, TextsThatDoNotFitFlushFirstAndKeepTheirOrder) {
  SinkLog log;
  BufferedTextWriter writer(std::unique_ptr<FileSink>(new ScriptedSink(&log)));
  EXPECT_EQ(writer.WriteText(Bytes(3000, 'x')), 3000u);
  EXPECT_EQ(writer.WriteText(Bytes(3000, 'y')), 3000u);  // free 1096: flush, then buffered
  EXPECT_EQ(log.bytes, Bytes(3000, 'x'));
  EXPECT_EQ(writer.BufferedBytes(), 3000);
  EXPECT_EQ(writer.WriteText(Bytes(1096, 'z')), 1096u);  // fills the rest exactly: flush first
  EXPECT_EQ(log.bytes, Bytes(3000, 'x') + Bytes(3000, 'y'));
  EXPECT_EQ(writer.BufferedBytes(), 1096);
  EXPECT_EQ(writer.WriteText(Bytes(5000, 'w')), 5000u);  // buffered bytes go before a large text
  EXPECT_EQ(writer.WriteText("\xE4\xF6\xFC\xDF"), 4u);
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(log.bytes, Bytes(3000, 'x') + Bytes(3000, 'y') + Bytes(1096, 'z') + Bytes(5000, 'w') + "\xE4\xF6\xFC\xDF");
  EXPECT_EQ(log.moves.size(), 1u);
}

TEST(TextWriter, EmptyTextAndWriterWithoutBuffer) {
  SinkLog log;
  BufferedTextWriter writer(std::unique_ptr<FileSink>(new ScriptedSink(&log)));
  EXPECT_EQ(writer.WriteText(""), 0u);
  EXPECT_TRUE(log.moves.empty()) << "an empty text does not leave the initial state";
  EXPECT_TRUE(writer.Close());
  EXPECT_TRUE(log.writes.empty());
  EXPECT_FALSE(writer.Close()) << "a second close has nothing to close";

  SinkLog direct;
  BufferedTextWriter unbuffered(std::unique_ptr<FileSink>(new ScriptedSink(&direct)), false);
  EXPECT_FALSE(unbuffered.HasBuffer());
  EXPECT_EQ(unbuffered.WriteText("ab"), 2u);
  EXPECT_EQ(unbuffered.WriteText("cd"), 2u);
  EXPECT_EQ(direct.writes, (std::vector<uint32_t>{2, 2}));
  EXPECT_TRUE(unbuffered.Close());
  EXPECT_EQ(direct.bytes, "abcd");
}

TEST(TextWriter, ShortDirectWriteIsReportedAndBreaksTheFile) {
  SinkLog log;
  log.capacity = 5000;
  BufferedTextWriter writer(std::unique_ptr<FileSink>(new ScriptedSink(&log)));
  EXPECT_EQ(writer.WriteText(Bytes(6000, 'a')), 5000u) << "only what reached the file counts";
  EXPECT_TRUE(writer.Broken());
  log.capacity = UINT64_MAX;  // the disk recovers, but the file already has a gap
  EXPECT_EQ(writer.WriteText("more"), 0u) << "nothing is written after lost bytes";
  EXPECT_FALSE(writer.Close());
  EXPECT_EQ(log.bytes.size(), 5000u);
  EXPECT_TRUE(log.closed) << "the handle is closed even when the file is broken";
}

TEST(TextWriter, FailedFlushMakesLaterWritesZeroAndCloseFalse) {
  SinkLog during;
  during.capacity = 100;
  BufferedTextWriter writer(std::unique_ptr<FileSink>(new ScriptedSink(&during)));
  EXPECT_EQ(writer.WriteText(Bytes(3000, 'a')), 3000u);
  EXPECT_EQ(writer.WriteText(Bytes(3000, 'b')), 0u) << "the flush before it lost bytes";
  EXPECT_EQ(writer.WriteText("c"), 0u);
  EXPECT_FALSE(writer.Close());
  EXPECT_EQ(during.bytes, Bytes(100, 'a'));

  SinkLog atClose;
  atClose.capacity = 10;
  BufferedTextWriter last(std::unique_ptr<FileSink>(new ScriptedSink(&atClose)));
  EXPECT_EQ(last.WriteText(Bytes(300, 'x')), 300u);
  EXPECT_FALSE(last.Close()) << "a log cut at the final flush must not read as complete";
}

TEST(TextWriter, FailedMoveOrCloseIsReported) {
  SinkLog move;
  move.failMove = true;
  BufferedTextWriter writer(std::unique_ptr<FileSink>(new ScriptedSink(&move)));
  EXPECT_EQ(writer.WriteText("abc"), 0u);
  EXPECT_FALSE(writer.Close());
  EXPECT_TRUE(move.bytes.empty());

  SinkLog close;
  close.failClose = true;
  BufferedTextWriter closing(std::unique_ptr<FileSink>(new ScriptedSink(&close)));
  EXPECT_EQ(closing.WriteText("abc"), 3u);
  EXPECT_FALSE(closing.Close());
  EXPECT_EQ(close.bytes, "abc");
}

// The numbered files over real files in a temporary folder.
class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lurvik-text-file-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::remove(Path().c_str());
    rmdir(folder_.c_str());
  }
  std::string Path() const { return folder_ + "/log.txt"; }
  std::string Read() const {
    std::ifstream in(Path(), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  std::string folder_;
};

TEST_F(TextFileTest, ReplacesALongerFileAndWritesBytesUnchanged) {
  { std::ofstream(Path(), std::ios::binary) << Bytes(10000, 'o'); }
  intptr_t file = CreateTextFile(Path());
  ASSERT_NE(file, 0);
  std::string text = "Prozess \xE4\xF6\xFC\r\n";
  EXPECT_EQ(WriteText(file, text), text.size());
  EXPECT_EQ(Read(), "") << "the existing file is emptied at creation, the text waits in the buffer";
  EXPECT_TRUE(CloseTextFile(file));
  EXPECT_EQ(Read(), text);
  EXPECT_FALSE(CloseTextFile(file)) << "a closed number names no file";
  EXPECT_EQ(WriteText(file, "x"), 0u);
}

TEST_F(TextFileTest, EmptyTextLeavesAnEmptyFileAndCloseAllFlushes) {
  intptr_t empty = CreateTextFile(Path());
  ASSERT_NE(empty, 0);
  EXPECT_EQ(WriteText(empty, ""), 0u);
  EXPECT_TRUE(CloseTextFile(empty));
  EXPECT_EQ(Read(), "");

  intptr_t open = CreateTextFile(Path());
  ASSERT_NE(open, 0);
  EXPECT_NE(open, empty);
  WriteText(open, "pending");
  CloseAllTextFiles();
  EXPECT_EQ(Read(), "pending");
  EXPECT_FALSE(CloseTextFile(open));
}

TEST_F(TextFileTest, UnwritablePathGivesZero) {
  EXPECT_EQ(CreateTextFile(folder_ + "/no-such-folder/log.txt"), 0);
  EXPECT_EQ(CreateTextFile(folder_), 0) << "a folder is not a text file";
  EXPECT_EQ(WriteText(0, "x"), 0u);
  EXPECT_FALSE(CloseTextFile(0));
}
