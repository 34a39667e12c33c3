#include "error/panic.h"

#include <string>

#include "main/std_streams.h"

namespace fc {

std::string panic_text(std::string_view message, const std::source_location& where) {
  std::string text = "thread 'main' panicked at ";
  text += where.file_name();
  text += ':';
  text += std::to_string(where.line());
  text += ':';
  text += std::to_string(where.column());
  text += ":\n";
  text += message;
  text += "\nnote: the run was abandoned; its connection, if any, is closed\n";
  return text;
}

void panic(std::string_view message, std::source_location where) {
  (void)write_stderr(panic_text(message, where));
  throw PanicUnwind{};
}

}  // namespace fc
