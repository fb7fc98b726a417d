// Zero-filled reply buffers for the native queries. A buffer that cannot be had is reported,
// not thrown: the step that needed it then reads an empty reply.
#pragma once
#include <cstdint>
#include <vector>

namespace lurvik {

inline bool TakeZeroedBuffer(std::vector<uint8_t>& buffer, uint64_t size) {
  buffer.clear();
  if (size > buffer.max_size()) return false;
  try {
    buffer.assign(static_cast<size_t>(size), 0);
    return true;
  } catch (...) {  // bad_alloc: the caller goes on with an empty reply
    buffer.clear();
    buffer.shrink_to_fit();
    return false;
  }
}

// Error statuses (severity bits 11) leave no usable reply; success, information and
// warning statuses do.
inline bool IsErrorStatus(uint32_t status) { return (status >> 30) == 3; }

// Statuses that only say the buffer was too small for the reply.
inline bool IsLengthStatus(uint32_t status) {
  return status == 0xC0000004u /* STATUS_INFO_LENGTH_MISMATCH */ ||
         status == 0xC0000023u /* STATUS_BUFFER_TOO_SMALL */ ||
         status == 0x80000005u /* STATUS_BUFFER_OVERFLOW */;
}

}  // namespace lurvik
