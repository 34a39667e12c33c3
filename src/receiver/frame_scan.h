#ifndef FC_RECEIVER_FRAME_SCAN_H_
#define FC_RECEIVER_FRAME_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "json/frame_prefix.h"

namespace fc::receiver {

/// What follows the whole frames of a span of bytes.
enum class Rest {
  kNothing,    ///< the span ends with a whole frame, or is empty
  kCutPrefix,  ///< fewer bytes than a prefix
  kCutFrame,   ///< a frame whose prefix is whole and whose payload is not
  kRefused,    ///< a prefix whose length is over the limit
};

/// Walks the whole frames of a span that begins at a frame's start: where
/// each one's payload lies, where the next begins, and what is left over.
class FrameScan {
 public:
  FrameScan(std::span<const std::uint8_t> bytes, std::uint32_t frame_limit)
      : bytes_(bytes), frame_limit_(frame_limit) {}

  /// The next whole frame's payload; nothing once what is left is not a
  /// whole frame. (Inline: it runs once a frame.)
  std::optional<std::span<const std::uint8_t>> next() {
    std::size_t left = bytes_.size() - end_;
    if (left < kFramePrefixSize) return std::nullopt;
    std::uint32_t length = rest_length();
    if (length > frame_limit_ || left - kFramePrefixSize < length) return std::nullopt;
    std::span<const std::uint8_t> payload = bytes_.subspan(end_ + kFramePrefixSize, length);
    end_ += kFramePrefixSize + length;
    return payload;
  }
  /// Where the whole frames taken so far end: the next frame begins here.
  std::size_t end() const { return end_; }
  /// What the bytes from end() on are, once next() has said nothing.
  Rest rest() const;
  /// The length that the prefix at end() gives, once it is whole.
  std::uint32_t rest_length() const {
    return payload_length(bytes_.subspan(end_).first<kFramePrefixSize>());
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::uint32_t frame_limit_;
  std::size_t end_ = 0;
};

}  // namespace fc::receiver

#endif  // FC_RECEIVER_FRAME_SCAN_H_
