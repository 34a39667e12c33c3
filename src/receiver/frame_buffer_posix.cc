#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "receiver/frame_buffer.h"

namespace fc::receiver {

Result<std::uint8_t*> FrameBuffer::map_pages(std::size_t size) {
  void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (data == MAP_FAILED) return std::unexpected(IoError::from_os_code(errno));
  return static_cast<std::uint8_t*>(data);
}

void FrameBuffer::unmap_pages(std::uint8_t* data, std::size_t size) { (void)munmap(data, size); }

std::size_t page_size() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace fc::receiver
