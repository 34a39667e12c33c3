#ifndef FC_DEBUG_TEXT_TEXT_SINK_H_
#define FC_DEBUG_TEXT_TEXT_SINK_H_

#include <string>
#include <string_view>

namespace fc {

/// Anything that takes UTF-8 text pieces in order and may refuse one. Once a
/// piece is refused every later one is dropped, so writers write their pieces
/// straight through and their caller asks once, at the end, whether all got
/// through; a sink that can refuse keeps why.
class TextSink {
 public:
  /// Hands the piece on, unless an earlier piece was refused.
  void write(std::string_view piece) {
    if (!refused_) refused_ = !put(piece);
  }
  /// Whether a piece was refused (nothing after it was written).
  bool refused() const { return refused_; }

 protected:
  ~TextSink() = default;
  /// Takes the whole piece, or refuses it and takes none of it.
  virtual bool put(std::string_view piece) = 0;

 private:
  bool refused_ = false;
};

/// An in-memory sink that never refuses.
class StringSink final : public TextSink {
 public:
  const std::string& text() const { return text_; }
  std::string take() { return std::move(text_); }

 private:
  bool put(std::string_view piece) override {
    text_.append(piece);
    return true;
  }

  std::string text_;
};

}  // namespace fc

#endif  // FC_DEBUG_TEXT_TEXT_SINK_H_
