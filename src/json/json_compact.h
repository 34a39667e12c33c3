#ifndef FC_JSON_JSON_COMPACT_H_
#define FC_JSON_JSON_COMPACT_H_

#include <cstddef>
#include <cstdint>
#include <span>

// Telling JSON text from other bytes, and writing JSON text without the
// white space between its tokens.

namespace fc {

/// The deepest nesting of arrays and objects taken as JSON.
inline constexpr std::size_t kJsonMaxDepth = 1000;

/// Whether `bytes` are exactly one JSON text (RFC 8259): one value of any
/// kind with optional white space around it, its strings valid UTF-8 (a
/// surrogate escape alone, as in "\ud800", is taken, as the grammar allows),
/// its arrays and objects nested at most kJsonMaxDepth deep. Uses no
/// recursion, so that hostile input cannot exhaust the stack.
bool is_json_text(std::span<const std::uint8_t> bytes);

/// Drops the white space outside strings from JSON text already known to be
/// valid. The text may come in pieces, a string's escape split across two of
/// them included: the compactor carries where it stands from one to the next.
class JsonCompactor {
 public:
  /// Writes `in` without its insignificant white space at `out`, which has
  /// room for in.size() bytes and may be in.data() itself (compacting in
  /// place). Returns the bytes written.
  std::size_t compact(std::span<const std::uint8_t> in, char* out);

  /// Whether any byte has been dropped so far.
  bool had_whitespace() const { return had_whitespace_; }

 private:
  bool in_string_ = false;
  bool after_backslash_ = false;
  bool had_whitespace_ = false;
};

}  // namespace fc

#endif  // FC_JSON_JSON_COMPACT_H_
