#ifndef FC_DEBUG_TEXT_DEBUG_FORM_H_
#define FC_DEBUG_TEXT_DEBUG_FORM_H_

#include <cstdint>
#include <string_view>

#include "debug_text/text_sink.h"

namespace fc {

/// Writes a record form, `Name { field: value, other: value }`, piece by piece.
class DebugRecord {
 public:
  DebugRecord(TextSink& sink, std::string_view name);

  /// A field whose debug text is given verbatim (a kind name, a number).
  DebugRecord& field(std::string_view name, std::string_view debug_text);
  DebugRecord& field(std::string_view name, std::int64_t number);
  /// A text field, shown in its quoted form.
  DebugRecord& quoted_field(std::string_view name, std::string_view text);
  /// A field whose value writes its own debug text: `write(TextSink&)`.
  template <typename WriteValue>
  DebugRecord& field_with(std::string_view name, WriteValue&& write) {
    start_field(name);
    write(sink_);
    return *this;
  }

  void finish();

 private:
  void start_field(std::string_view name);

  TextSink& sink_;
  bool has_fields_ = false;
};

/// Writes a tuple form, `Name(value, value)`.
class DebugTuple {
 public:
  DebugTuple(TextSink& sink, std::string_view name);

  DebugTuple& field(std::string_view debug_text);

  void finish();

 private:
  TextSink& sink_;
  bool has_fields_ = false;
};

/// Writes a number in decimal.
void write_decimal(TextSink& sink, std::int64_t number);
void write_decimal(TextSink& sink, std::uint64_t number);

}  // namespace fc

#endif  // FC_DEBUG_TEXT_DEBUG_FORM_H_
