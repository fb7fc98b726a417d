// The buffered text writer: gathers small texts in a 4096-byte buffer, writes large ones
// directly after what was buffered before them, and keeps track of every lost byte.
#include "toolkit/text_writer.h"

#include <cstring>
#include <limits>
#include <new>

namespace lurvik {

BufferedTextWriter::BufferedTextWriter(std::unique_ptr<FileSink> sink, bool withBuffer) : sink_(std::move(sink)) {
  if (withBuffer) buffer_.reset(new (std::nothrow) char[kBufferSize]);
}

// A writer dropped without Close (program end) still writes what it holds.
BufferedTextWriter::~BufferedTextWriter() { Close(); }

uint32_t BufferedTextWriter::WriteText(const std::string& text) {
  if (text.empty() || !sink_ || broken_) return 0;
  if (text.size() > std::numeric_limits<uint32_t>::max()) {
    broken_ = true;  // cannot be counted in the result: refuse it rather than cut it
    return 0;
  }
  uint32_t length = static_cast<uint32_t>(text.size());
  return buffer_ ? WriteBuffered(text.data(), length) : WriteDirect(text.data(), length);
}

uint32_t BufferedTextWriter::WriteDirect(const char* bytes, uint32_t length) {
  uint32_t written = sink_->Write(bytes, length);
  if (written != length) broken_ = true;
  return written;
}

uint32_t BufferedTextWriter::WriteBuffered(const char* bytes, uint32_t length) {
  if (state_ == kInitialState) {
    // Give back what was read ahead, so writing starts where the reader stood.
    if (!sink_->MovePosition(-count_)) {
      broken_ = true;
      return 0;
    }
    count_ = kBufferSize;
    state_ = kWriteState;
  }
  if (static_cast<uint32_t>(count_) > length) {
    std::memcpy(buffer_.get() + (kBufferSize - count_), bytes, length);
    count_ -= static_cast<int32_t>(length);
    return length;
  }
  // The text does not fit (or fills the rest exactly): what is buffered goes first.
  if (!Flush()) return 0;
  if (length >= static_cast<uint32_t>(kBufferSize)) return WriteDirect(bytes, length);
  std::memcpy(buffer_.get(), bytes, length);
  count_ -= static_cast<int32_t>(length);
  return length;
}

bool BufferedTextWriter::Flush() {
  if (state_ != kWriteState) return true;
  uint32_t pending = static_cast<uint32_t>(kBufferSize - count_);
  count_ = kBufferSize;
  if (pending == 0) return true;
  if (sink_->Write(buffer_.get(), pending) != pending) broken_ = true;
  return !broken_;
}

bool BufferedTextWriter::Close() {
  if (!sink_) return false;
  if (buffer_ && !broken_) Flush();
  buffer_.reset();
  bool closed = sink_->Close();
  sink_.reset();
  return closed && !broken_;
}

}  // namespace lurvik
