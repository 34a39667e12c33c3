#include "json/frame_prefix.h"

namespace fc {

Result<FramePrefix> length_prefix_for_size(std::uint64_t size) {
  if (size > 0xFFFFFFFFu) {
    return std::unexpected(IoError::from_fixed(kPayloadTooLarge));
  }
  return FramePrefix{static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                     static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)};
}

std::uint32_t payload_length(std::span<const std::uint8_t, kFramePrefixSize> prefix) {
  return (std::uint32_t{prefix[0]} << 24) | (std::uint32_t{prefix[1]} << 16) |
         (std::uint32_t{prefix[2]} << 8) | prefix[3];
}

Result<FramePrefix> length_prefix(const JsonText& text) {
  return length_prefix_for_size(text.size());
}

}  // namespace fc
