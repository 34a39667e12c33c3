#include "debug_text/debug_form.h"

#include <charconv>

#include "debug_text/quoted.h"

namespace fc {
namespace {

template <typename Int>
Status write_integer(TextSink& sink, Int number) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  return sink.write(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

}  // namespace

Status write_decimal(TextSink& sink, std::int64_t number) { return write_integer(sink, number); }

Status write_decimal(TextSink& sink, std::uint64_t number) { return write_integer(sink, number); }

DebugRecord::DebugRecord(TextSink& sink, std::string_view name) : sink_(sink) { put(name); }

void DebugRecord::put(std::string_view piece) {
  if (status_.ok()) status_ = sink_.write(piece);
}

bool DebugRecord::start_field(std::string_view name) {
  put(has_fields_ ? ", " : " { ");
  has_fields_ = true;
  put(name);
  put(": ");
  return status_.ok();
}

DebugRecord& DebugRecord::field(std::string_view name, std::string_view debug_text) {
  if (start_field(name)) put(debug_text);
  return *this;
}

DebugRecord& DebugRecord::field(std::string_view name, std::int64_t number) {
  if (start_field(name)) status_ = write_decimal(sink_, number);
  return *this;
}

DebugRecord& DebugRecord::quoted_field(std::string_view name, std::string_view text) {
  if (start_field(name)) status_ = write_quoted(text, sink_);
  return *this;
}

Status DebugRecord::finish() {
  if (has_fields_) put(" }");
  return std::move(status_);
}

DebugTuple::DebugTuple(TextSink& sink, std::string_view name) : sink_(sink) { put(name); }

void DebugTuple::put(std::string_view piece) {
  if (status_.ok()) status_ = sink_.write(piece);
}

DebugTuple& DebugTuple::field(std::string_view debug_text) {
  put(has_fields_ ? ", " : "(");
  has_fields_ = true;
  put(debug_text);
  return *this;
}

Status DebugTuple::finish() {
  if (has_fields_) put(")");
  return std::move(status_);
}

}  // namespace fc
