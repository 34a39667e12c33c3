#ifndef FC_RECEIVER_FRAME_BUFFER_H_
#define FC_RECEIVER_FRAME_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "error/io_error.h"

namespace fc::receiver {

/// The memory of one frame taken in. A long frame's is a mapping of its own,
/// so that it goes back to the system whole when the frame is printed,
/// whatever was freed around it (a heap keeps the holes between its blocks);
/// its pages are only taken as bytes are written to them. A short frame's, of
/// at most kHeapLimit bytes, comes from the heap, which serves such sizes
/// faster.
class FrameBuffer {
 public:
  FrameBuffer() = default;
  FrameBuffer(FrameBuffer&& other) noexcept;
  FrameBuffer& operator=(FrameBuffer&& other) noexcept;
  ~FrameBuffer();

  static constexpr std::size_t kHeapLimit = std::size_t{64} * 1024;

  /// A buffer of `size` bytes (never 0).
  static Result<FrameBuffer> allocate(std::size_t size);

  std::span<std::uint8_t> bytes() const { return {data_, size_}; }
  /// Gives the memory back.
  void reset();

 private:
  FrameBuffer(std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  static Result<std::uint8_t*> map_pages(std::size_t size);
  static void unmap_pages(std::uint8_t* data, std::size_t size);

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

/// The system's page size: a buffer takes whole pages.
std::size_t page_size();

}  // namespace fc::receiver

#endif  // FC_RECEIVER_FRAME_BUFFER_H_
