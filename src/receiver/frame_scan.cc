#include "receiver/frame_scan.h"

namespace fc::receiver {

Rest FrameScan::rest() const {
  std::size_t left = bytes_.size() - end_;
  if (left == 0) return Rest::kNothing;
  if (left < kFramePrefixSize) return Rest::kCutPrefix;
  return rest_length() > frame_limit_ ? Rest::kRefused : Rest::kCutFrame;
}

}  // namespace fc::receiver
