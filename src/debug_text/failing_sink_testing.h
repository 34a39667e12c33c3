#ifndef FC_DEBUG_TEXT_FAILING_SINK_TESTING_H_
#define FC_DEBUG_TEXT_FAILING_SINK_TESTING_H_

// For tests: a sink that keeps what it is given and can be told to refuse.

#include <string>
#include <string_view>

#include "debug_text/text_sink.h"

namespace fc {

/// Counts every write tried; refuses the write numbered `fail_at` (from 1)
/// and every later one with a kind-only error of `kind`; 0 never
/// refuses.
class FailingSink final : public TextSink {
 public:
  explicit FailingSink(int fail_at = 0, ErrorKind kind = ErrorKind::BrokenPipe)
      : fail_at_(fail_at), kind_(kind) {}

  Status write(std::string_view piece) override {
    ++calls;
    if (fail_at_ != 0 && calls >= fail_at_) return IoError::from_kind(kind_);
    text.append(piece);
    return {};
  }

  int calls = 0;
  std::string text;

 private:
  int fail_at_;
  ErrorKind kind_;
};

}  // namespace fc

#endif  // FC_DEBUG_TEXT_FAILING_SINK_TESTING_H_
