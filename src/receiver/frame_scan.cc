#include "receiver/frame_scan.h"

#include "json/frame_prefix.h"

namespace fc::receiver {

std::optional<std::span<const std::uint8_t>> FrameScan::next() {
  std::size_t left = bytes_.size() - end_;
  if (left < kFramePrefixSize) return std::nullopt;
  std::uint32_t length = rest_length();
  if (length > frame_limit_ || left - kFramePrefixSize < length) return std::nullopt;
  std::span<const std::uint8_t> payload = bytes_.subspan(end_ + kFramePrefixSize, length);
  end_ += kFramePrefixSize + length;
  return payload;
}

Rest FrameScan::rest() const {
  std::size_t left = bytes_.size() - end_;
  if (left == 0) return Rest::kNothing;
  if (left < kFramePrefixSize) return Rest::kCutPrefix;
  return rest_length() > frame_limit_ ? Rest::kRefused : Rest::kCutFrame;
}

std::uint32_t FrameScan::rest_length() const {
  return payload_length(bytes_.subspan(end_).first<kFramePrefixSize>());
}

}  // namespace fc::receiver
