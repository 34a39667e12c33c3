#include "main/message.h"

#include "debug_text/debug_form.h"

namespace fc {

std::expected<JsonText, JsonError> to_json_text(const Message& record) {
  const JsonMember members[] = {{"id", record.id}, {"message", record.message}};
  return encode_json_object(members);
}

void write_debug(const Message& record, TextSink& sink) {
  DebugRecord(sink, "Message")
      .quoted_field("id", record.id)
      .quoted_field("message", record.message)
      .finish();
}

}  // namespace fc
