// The buffered writer under the text files: texts go through a 4096-byte buffer to a small
// sink interface (the system file on Windows, a POSIX file natively, a scripted sink in the
// tests), and every byte that fails to reach the sink is reported, never taken as written.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace lurvik {

// Where the bytes go. Write returns the count of bytes that really reached the file.
class FileSink {
 public:
  virtual ~FileSink() = default;
  virtual uint32_t Write(const char* bytes, uint32_t length) = 0;
  // Moves the file position by distance bytes from the current one; false on failure.
  virtual bool MovePosition(int32_t distance) = 0;
  virtual bool Close() = 0;
};

// Opens a file for writing: created, or emptied if it exists (second attempt: truncate an
// existing file that cannot be opened for reading too). Null on failure.
std::unique_ptr<FileSink> OpenFileSink(const std::string& path);

// Reporting rule: WriteText returns the bytes of this text that reached the file, or, for a
// text kept in the buffer, its length once it is safely there. After any lost byte (a short or
// failed write, a failed flush or position move) the writer is broken: it writes nothing more,
// every later write returns 0, and Close returns false. So Close returning true means every
// byte that WriteText counted is in the file, in order.
class BufferedTextWriter {
 public:
  static constexpr int32_t kBufferSize = 4096;

  // withBuffer false stands for a buffer that could not be allocated: every text goes
  // straight to the sink.
  explicit BufferedTextWriter(std::unique_ptr<FileSink> sink, bool withBuffer = true);
  ~BufferedTextWriter();
  BufferedTextWriter(const BufferedTextWriter&) = delete;
  BufferedTextWriter& operator=(const BufferedTextWriter&) = delete;

  uint32_t WriteText(const std::string& text);
  // Flushes, frees the buffer and closes the sink; false if any byte was lost or the close
  // failed. Later calls do nothing and return false.
  bool Close();

  bool Broken() const { return broken_; }
  bool HasBuffer() const { return buffer_ != nullptr; }
  // Bytes waiting in the buffer (0 in the initial state).
  int32_t BufferedBytes() const { return state_ == kWriteState ? kBufferSize - count_ : 0; }

 private:
  static constexpr int kInitialState = 1;
  static constexpr int kWriteState = 0;

  uint32_t WriteDirect(const char* bytes, uint32_t length);
  uint32_t WriteBuffered(const char* bytes, uint32_t length);
  bool Flush();

  std::unique_ptr<FileSink> sink_;
  std::unique_ptr<char[]> buffer_;
  // Initial state: bytes read ahead and not consumed (always 0 for a created file).
  // Write state: free bytes at the end of the buffer.
  int32_t count_ = 0;
  int state_ = kInitialState;
  bool broken_ = false;
};

}  // namespace lurvik
