#ifndef FC_MAIN_MESSAGE_H_
#define FC_MAIN_MESSAGE_H_

#include <expected>
#include <string>

#include "debug_text/text_sink.h"
#include "json/json_error.h"
#include "json/json_writer.h"

namespace fc {

/// The record the client sends. Field order fixes the order of the JSON
/// members and of the debug form's fields.
struct Message {
  std::string id;
  std::string message;
};

/// Compact JSON: {"id":"...","message":"..."}.
std::expected<JsonText, JsonError> to_json_text(const Message& record);

/// The debug form: Message { id: "...", message: "..." }.
void write_debug(const Message& record, TextSink& sink);

}  // namespace fc

#endif  // FC_MAIN_MESSAGE_H_
