#ifndef FC_DEBUG_TEXT_TEXT_SINK_H_
#define FC_DEBUG_TEXT_TEXT_SINK_H_

#include <string>
#include <string_view>

#include "error/io_error.h"

namespace fc {

/// Anything that takes UTF-8 text pieces in order and may refuse one.
class TextSink {
 public:
  /// Takes the whole piece, or fails and takes none of it.
  virtual Status write(std::string_view piece) = 0;

 protected:
  ~TextSink() = default;
};

/// An in-memory sink that never fails.
class StringSink final : public TextSink {
 public:
  Status write(std::string_view piece) override {
    text_.append(piece);
    return {};
  }
  const std::string& text() const { return text_; }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace fc

#endif  // FC_DEBUG_TEXT_TEXT_SINK_H_
