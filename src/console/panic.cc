#include "console/panic.h"

#include <string>

#include "console/std_streams.h"

namespace fc {
namespace {

std::string panic_text(std::string_view message, const std::source_location& where) {
  std::string text = "thread 'main' panicked at ";
  text += where.file_name();
  text += ':';
  text += std::to_string(where.line());
  text += ':';
  text += std::to_string(where.column());
  text += ":\n";
  text += message;
  text += "\nnote: the run is abandoned; its connection, if any, is closed before exit\n";
  return text;
}

std::string not_equal_message(std::int64_t left, std::int64_t right) {
  return "assertion `left == right` failed\n  left: " + std::to_string(left) +
         "\n right: " + std::to_string(right);
}

}  // namespace

void panic(std::string_view message, std::source_location where) {
  // The diagnostic goes out in one write; if standard error refuses it the
  // run still ends the same way.
  (void)write_stderr(panic_text(message, where));
  throw PanicUnwind{};
}

void assert_equal(std::int64_t left, std::int64_t right, std::source_location where) {
  if (left != right) panic(not_equal_message(left, right), where);
}

}  // namespace fc
