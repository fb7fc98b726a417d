// The POSIX file under the text writer, so the native build can write real files too
// (the tests do). Compiled to nothing on Windows, where file_sink_win.cpp serves.
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "toolkit/text_writer.h"

namespace lurvik {
namespace {

class PosixFileSink : public FileSink {
 public:
  explicit PosixFileSink(int fd) : fd_(fd) {}
  ~PosixFileSink() override { Close(); }

  uint32_t Write(const char* bytes, uint32_t length) override {
    uint32_t done = 0;
    while (done < length) {
      ssize_t n = ::write(fd_, bytes + done, length - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<uint32_t>(n);
    }
    return done;
  }

  bool MovePosition(int32_t distance) override { return ::lseek(fd_, distance, SEEK_CUR) != -1; }

  bool Close() override {
    if (fd_ < 0) return false;
    bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<FileSink> OpenFileSink(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0) return nullptr;
  return std::unique_ptr<FileSink>(new PosixFileSink(fd));
}

}  // namespace lurvik
#endif
