#ifndef FC_JSON_JSON_ERROR_H_
#define FC_JSON_JSON_ERROR_H_

#include <cstdint>
#include <memory>
#include <string>

#include "debug_text/text_sink.h"
#include "error/io_error.h"

namespace fc {

/// The JSON encoder's error: a free-form message or a failure of the
/// encoder's output, with a line and a column (0 means no position). One
/// owning reference; the record behind it exists only on failure.
class JsonError {
 public:
  /// A failure of the encoder's output, with no position.
  static JsonError from_io(IoError error);
  static JsonError from_message(std::string message, std::uint64_t line, std::uint64_t column);

  JsonError(JsonError&&) noexcept;
  JsonError& operator=(JsonError&&) noexcept;
  ~JsonError();

  /// "Error(" quoted message ", line: " L ", column: " C ")".
  void write_debug(TextSink& sink) const;
  /// The message, then " at line L column C" when there is a position.
  void write_display(TextSink& sink) const;

  /// An output failure gives back the carried error itself; a message becomes
  /// a custom error of kind InvalidData that owns this whole error.
  IoError to_io_error() &&;

  /// The carried output failure, or null for a free-form message.
  const IoError* io_error() const;

 private:
  struct Record;
  explicit JsonError(std::unique_ptr<Record> record);

  std::unique_ptr<Record> record_;
};

static_assert(sizeof(JsonError) == sizeof(void*));

}  // namespace fc

#endif  // FC_JSON_JSON_ERROR_H_
