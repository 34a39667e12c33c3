#include <windows.h>

#include "receiver/frame_buffer.h"

namespace fc::receiver {

Result<FrameBuffer> FrameBuffer::map(std::size_t size) {
  void* data = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (data == nullptr) {
    return std::unexpected(IoError::from_os_code(static_cast<std::int32_t>(GetLastError())));
  }
  return FrameBuffer(static_cast<std::uint8_t*>(data), size);
}

void FrameBuffer::reset() {
  if (data_ != nullptr) (void)VirtualFree(data_, 0, MEM_RELEASE);
  data_ = nullptr;
  size_ = 0;
}

std::size_t page_size() {
  static const std::size_t size = [] {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<std::size_t>(info.dwPageSize);
  }();
  return size;
}

}  // namespace fc::receiver
