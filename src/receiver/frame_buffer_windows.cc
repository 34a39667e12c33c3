#include <windows.h>

#include "receiver/frame_buffer.h"

namespace fc::receiver {

Result<std::uint8_t*> FrameBuffer::map_pages(std::size_t size) {
  void* data = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (data == nullptr) {
    return std::unexpected(IoError::from_os_code(static_cast<std::int32_t>(GetLastError())));
  }
  return static_cast<std::uint8_t*>(data);
}

void FrameBuffer::unmap_pages(std::uint8_t* data, std::size_t) {
  (void)VirtualFree(data, 0, MEM_RELEASE);
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
