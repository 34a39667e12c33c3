#include "debug_text/quoted.h"

namespace fc {
namespace {

// Interim form: printable ASCII and every non-ASCII byte pass unchanged, the
// rest are escaped. The Unicode-exact classification replaces this.
bool passes(unsigned char byte) {
  return byte >= 0x20 && byte != 0x7F && byte != '"' && byte != '\\';
}

std::string_view escape_of(unsigned char byte, char (&buffer)[8]) {
  switch (byte) {
    case 0: return "\\0";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '"': return "\\\"";
    case '\\': return "\\\\";
    default: break;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::size_t n = 0;
  buffer[n++] = '\\';
  buffer[n++] = 'u';
  buffer[n++] = '{';
  if (byte >= 0x10) buffer[n++] = kHex[byte >> 4];
  buffer[n++] = kHex[byte & 0xF];
  buffer[n++] = '}';
  return std::string_view(buffer, n);
}

}  // namespace

Status write_quoted(std::string_view text, TextSink& sink) {
  if (Status s = sink.write("\""); !s.ok()) return s;
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (passes(byte)) continue;
    char buffer[8];
    if (i > run_start) {
      if (Status s = sink.write(text.substr(run_start, i - run_start)); !s.ok()) return s;
    }
    if (Status s = sink.write(escape_of(byte, buffer)); !s.ok()) return s;
    run_start = i + 1;
  }
  if (text.size() > run_start) {
    if (Status s = sink.write(text.substr(run_start)); !s.ok()) return s;
  }
  return sink.write("\"");
}

}  // namespace fc
