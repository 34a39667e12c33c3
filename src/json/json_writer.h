#ifndef FC_JSON_JSON_WRITER_H_
#define FC_JSON_JSON_WRITER_H_

#include <cstddef>
#include <expected>
#include <memory>
#include <span>
#include <string_view>

#include "debug_text/text_sink.h"
#include "json/json_error.h"

namespace fc {

/// Owned UTF-8 JSON text: the encoder's buffer, handed over unchanged.
class JsonText {
 public:
  JsonText(std::unique_ptr<char[]> data, std::size_t size, std::size_t capacity)
      : data_(std::move(data)), size_(size), capacity_(capacity) {}

  std::string_view view() const { return {data_.get(), size_}; }
  std::size_t size() const { return size_; }
  /// The capacity the encoder's buffer had grown to.
  std::size_t capacity() const { return capacity_; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_;
  std::size_t capacity_;
};

/// The encoder's growable output. It starts at 128 bytes, allocated up front;
/// a write that does not fit grows it to the largest of twice the capacity,
/// the length the write needs, and 8. Writes never fail.
class JsonBuffer final : public TextSink {
 public:
  static constexpr std::size_t kInitialCapacity = 128;

  JsonBuffer();

  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  /// Hands the buffer over as the JSON text; this buffer is left empty.
  JsonText take();

 private:
  bool put(std::string_view piece) override;
  void grow(std::size_t needed);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

/// One member of a JSON object whose values are all texts.
struct JsonMember {
  std::string_view name;
  std::string_view value;
};

/// Writes `text` as a JSON string: escaped bytewise, runs written in one piece.
void write_json_string(std::string_view text, TextSink& out);

/// Writes a compact JSON object of text members, in the given order.
void write_json_object(std::span<const JsonMember> members, TextSink& out);

/// Encodes a compact JSON object of text members into new JSON text.
std::expected<JsonText, JsonError> encode_json_object(std::span<const JsonMember> members);

}  // namespace fc

#endif  // FC_JSON_JSON_WRITER_H_
