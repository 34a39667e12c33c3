#ifndef FC_NET_HOST_TEXT_H_
#define FC_NET_HOST_TEXT_H_

#include <cstddef>
#include <memory>
#include <string_view>

namespace fc {

/// A NUL-terminated copy of a host text for the system resolver. Short texts
/// (up to 383 bytes) live in a buffer on the stack, longer ones on the heap;
/// both behave the same. A text with a NUL byte of its own is not valid.
class HostText {
 public:
  static constexpr std::size_t kStackBytes = 384;

  explicit HostText(std::string_view host);
  HostText(const HostText&) = delete;
  HostText& operator=(const HostText&) = delete;

  /// False when the host text itself holds a NUL byte.
  bool valid() const { return valid_; }
  const char* c_str() const { return text_; }

 private:
  char stack_[kStackBytes];
  std::unique_ptr<char[]> heap_;
  const char* text_ = stack_;
  bool valid_ = false;
};

}  // namespace fc

#endif  // FC_NET_HOST_TEXT_H_
