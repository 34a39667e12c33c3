#include "json/json_error.h"

#include <variant>

#include "debug_text/debug_form.h"
#include "debug_text/quoted.h"
#include "debug_text/text_sink.h"

namespace fc {

struct JsonError::Record final : InnerError {
  Record(std::variant<std::string, IoError> c, std::uint64_t l, std::uint64_t col)
      : code(std::move(c)), line(l), column(col) {}

  void write_message(TextSink& sink) const {
    if (const auto* text = std::get_if<std::string>(&code)) {
      sink.write(*text);
    } else {
      std::get<IoError>(code).write_display(sink);
    }
  }

  void write_debug(TextSink& sink) const override {
    // The message is built in full before it is quoted.
    StringSink message;
    write_message(message);
    sink.write("Error(");
    write_quoted(message.text(), sink);
    sink.write(", line: ");
    write_decimal(sink, line);
    sink.write(", column: ");
    write_decimal(sink, column);
    sink.write(")");
  }

  void write_display(TextSink& sink) const override {
    write_message(sink);
    if (line == 0) return;
    sink.write(" at line ");
    write_decimal(sink, line);
    sink.write(" column ");
    write_decimal(sink, column);
  }

  std::variant<std::string, IoError> code;
  std::uint64_t line;
  std::uint64_t column;
};

JsonError::JsonError(std::unique_ptr<Record> record) : record_(std::move(record)) {}

JsonError::JsonError(JsonError&&) noexcept = default;
JsonError& JsonError::operator=(JsonError&&) noexcept = default;
JsonError::~JsonError() = default;

JsonError JsonError::from_io(IoError error) {
  return JsonError(std::make_unique<Record>(std::move(error), 0, 0));
}

JsonError JsonError::from_message(std::string message, std::uint64_t line, std::uint64_t column) {
  return JsonError(std::make_unique<Record>(std::move(message), line, column));
}

void JsonError::write_debug(TextSink& sink) const { record_->write_debug(sink); }

void JsonError::write_display(TextSink& sink) const { record_->write_display(sink); }

const IoError* JsonError::io_error() const { return std::get_if<IoError>(&record_->code); }

IoError JsonError::to_io_error() && {
  if (auto* carried = std::get_if<IoError>(&record_->code)) return std::move(*carried);
  return IoError::custom(ErrorKind::InvalidData, std::move(record_));
}

}  // namespace fc
