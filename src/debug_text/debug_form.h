#ifndef FC_DEBUG_TEXT_DEBUG_FORM_H_
#define FC_DEBUG_TEXT_DEBUG_FORM_H_

#include <cstdint>
#include <string_view>

#include "debug_text/text_sink.h"

namespace fc {

/// Writes a record form, `Name { field: value, other: value }`, piece by piece.
/// After the sink's first failure nothing more is written and finish() returns
/// that failure.
class DebugRecord {
 public:
  DebugRecord(TextSink& sink, std::string_view name);

  /// A field whose debug text is given verbatim (a kind name, a number).
  DebugRecord& field(std::string_view name, std::string_view debug_text);
  DebugRecord& field(std::string_view name, std::int64_t number);
  /// A text field, shown in its quoted form.
  DebugRecord& quoted_field(std::string_view name, std::string_view text);
  /// A field whose value writes its own debug text: `write(TextSink&) -> Status`.
  template <typename WriteValue>
  DebugRecord& field_with(std::string_view name, WriteValue&& write) {
    if (start_field(name)) status_ = write(sink_);
    return *this;
  }

  Status finish();

 private:
  bool start_field(std::string_view name);
  void put(std::string_view piece);

  TextSink& sink_;
  Status status_;
  bool has_fields_ = false;
};

/// Writes a tuple form, `Name(value, value)`, with the same failure rule.
class DebugTuple {
 public:
  DebugTuple(TextSink& sink, std::string_view name);

  DebugTuple& field(std::string_view debug_text);

  Status finish();

 private:
  void put(std::string_view piece);

  TextSink& sink_;
  Status status_;
  bool has_fields_ = false;
};

/// Writes a number in decimal.
Status write_decimal(TextSink& sink, std::int64_t number);
Status write_decimal(TextSink& sink, std::uint64_t number);

}  // namespace fc

#endif  // FC_DEBUG_TEXT_DEBUG_FORM_H_
