// The Windows file under the text writer: CreateFileW, WriteFile, SetFilePointer, CloseHandle.
#include <windows.h>

#include "toolkit/text_writer.h"
#include "toolkit/wide_text_win.h"

namespace lurvik {
namespace {

class WindowsFileSink : public FileSink {
 public:
  explicit WindowsFileSink(HANDLE file) : file_(file) {}
  ~WindowsFileSink() override { Close(); }

  uint32_t Write(const char* bytes, uint32_t length) override {
    DWORD written = 0;
    if (!WriteFile(file_, bytes, length, &written, nullptr)) return 0;
    return written;
  }

  bool MovePosition(int32_t distance) override {
    SetLastError(NO_ERROR);
    DWORD position = SetFilePointer(file_, distance, nullptr, FILE_CURRENT);
    return position != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
  }

  bool Close() override {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    bool closed = CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE file_;
};

bool Usable(HANDLE file) { return file != INVALID_HANDLE_VALUE && file != nullptr; }

}  // namespace

// The UTF-8 path is opened by its UTF-16 characters: the ANSI call would open the best-fit
// look-alike of a character the code page lacks, another file.
std::unique_ptr<FileSink> OpenFileSink(const std::string& path) {
  const std::wstring widePath = WideFromUtf8(path);
  HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  // A file that cannot be opened for reading too may still be emptied for writing.
  if (file == INVALID_HANDLE_VALUE)
    file = CreateFileW(widePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0, nullptr);
  if (!Usable(file)) return nullptr;
  return std::unique_ptr<FileSink>(new WindowsFileSink(file));
}

}  // namespace lurvik
