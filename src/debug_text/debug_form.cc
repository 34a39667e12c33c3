#include "debug_text/debug_form.h"

#include <charconv>

#include "debug_text/quoted.h"

namespace fc {
namespace {

template <typename Int>
void write_integer(TextSink& sink, Int number) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  sink.write(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

}  // namespace

void write_decimal(TextSink& sink, std::int64_t number) { write_integer(sink, number); }

void write_decimal(TextSink& sink, std::uint64_t number) { write_integer(sink, number); }

DebugRecord::DebugRecord(TextSink& sink, std::string_view name) : sink_(sink) { sink_.write(name); }

void DebugRecord::start_field(std::string_view name) {
  sink_.write(has_fields_ ? ", " : " { ");
  has_fields_ = true;
  sink_.write(name);
  sink_.write(": ");
}

DebugRecord& DebugRecord::field(std::string_view name, std::string_view debug_text) {
  start_field(name);
  sink_.write(debug_text);
  return *this;
}

DebugRecord& DebugRecord::field(std::string_view name, std::int64_t number) {
  start_field(name);
  write_decimal(sink_, number);
  return *this;
}

DebugRecord& DebugRecord::quoted_field(std::string_view name, std::string_view text) {
  start_field(name);
  write_quoted(text, sink_);
  return *this;
}

void DebugRecord::finish() {
  if (has_fields_) sink_.write(" }");
}

DebugTuple::DebugTuple(TextSink& sink, std::string_view name) : sink_(sink) { sink_.write(name); }

DebugTuple& DebugTuple::field(std::string_view debug_text) {
  sink_.write(has_fields_ ? ", " : "(");
  has_fields_ = true;
  sink_.write(debug_text);
  return *this;
}

void DebugTuple::finish() {
  if (has_fields_) sink_.write(")");
}

}  // namespace fc
