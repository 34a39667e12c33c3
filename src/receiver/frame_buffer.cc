#include "receiver/frame_buffer.h"

#include <new>
#include <utility>

namespace fc::receiver {

FrameBuffer::FrameBuffer(FrameBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FrameBuffer& FrameBuffer::operator=(FrameBuffer&& other) noexcept {
  if (this != &other) {
    reset();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

FrameBuffer::~FrameBuffer() { reset(); }

Result<FrameBuffer> FrameBuffer::allocate(std::size_t size) {
  if (size > kHeapLimit) {
    Result<std::uint8_t*> pages = map_pages(size);
    if (!pages) return take_error(pages);
    return FrameBuffer(*pages, size);
  }
  auto* data = new (std::nothrow) std::uint8_t[size];
  if (data == nullptr) return std::unexpected(IoError::from_kind(ErrorKind::OutOfMemory));
  return FrameBuffer(data, size);
}

void FrameBuffer::reset() {
  if (data_ == nullptr) return;
  if (size_ > kHeapLimit) {
    unmap_pages(data_, size_);
  } else {
    delete[] data_;
  }
  data_ = nullptr;
  size_ = 0;
}

}  // namespace fc::receiver
