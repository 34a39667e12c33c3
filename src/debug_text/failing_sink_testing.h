#ifndef FC_DEBUG_TEXT_FAILING_SINK_TESTING_H_
#define FC_DEBUG_TEXT_FAILING_SINK_TESTING_H_

// For tests: a sink that keeps what it is given and can be told to refuse.

#include <string>
#include <string_view>

#include "debug_text/text_sink.h"

namespace fc {

/// Counts every piece offered; refuses the piece numbered `fail_at` (from 1);
/// 0 never refuses.
class FailingSink final : public TextSink {
 public:
  explicit FailingSink(int fail_at = 0) : fail_at_(fail_at) {}

  int calls = 0;
  std::string text;

 private:
  bool put(std::string_view piece) override {
    ++calls;
    if (calls == fail_at_) return false;
    text.append(piece);
    return true;
  }

  int fail_at_;
};

}  // namespace fc

#endif  // FC_DEBUG_TEXT_FAILING_SINK_TESTING_H_
