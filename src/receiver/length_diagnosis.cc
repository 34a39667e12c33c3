#include "receiver/length_diagnosis.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "json/frame_prefix.h"

namespace fc::receiver {
namespace {

using Prefix = std::span<const std::uint8_t, 4>;

constexpr char kHexDigits[] = "0123456789abcdef";

// The starts of a request line: every method's first four bytes.
constexpr std::string_view kRequestStarts[] = {"GET ", "POST", "PUT ", "HEAD", "DELE",
                                               "OPTI", "PATC", "CONN", "TRAC"};

// Whether the prefix is the four chars `four`.
bool is(Prefix prefix, std::string_view four) {
  return std::memcmp(prefix.data(), four.data(), prefix.size()) == 0;
}

bool is_printable(std::uint8_t byte) { return byte >= 0x20 && byte <= 0x7e; }

bool is_text(std::uint8_t byte) {
  return is_printable(byte) || byte == '\t' || byte == '\n' || byte == '\r';
}

void append_hex(std::uint8_t byte, std::string& out) {
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xf];
}

// The start of another protocol, in the words that end the sentence.
std::string foreign(std::string_view protocol) {
  return std::string(protocol) + ", not a length-prefixed frame";
}

// What the bytes look like, ending the sentence; empty when nothing.
std::string resemblance(Prefix prefix, std::uint32_t limit) {
  for (std::string_view start : kRequestStarts) {
    if (is(prefix, start)) return foreign("an HTTP request");
  }
  if (is(prefix, "PRI ")) return foreign("an HTTP/2 connection preface");
  if (is(prefix, "HTTP")) return foreign("an HTTP response");
  // A record's content type (20, a cipher change, to 23, application data), then
  // the major and minor numbers of SSL 3.0 to TLS 1.3.
  if (prefix[0] >= 0x14 && prefix[0] <= 0x17 && prefix[1] == 0x03 && prefix[2] <= 0x04) {
    return foreign(prefix[0] == 0x16 ? "a TLS handshake" : "a TLS record");
  }
  if (is(prefix, "SSH-")) return foreign("an SSH banner");
  if (prefix[0] == '{' || prefix[0] == '[') return "JSON with no length prefix";
  if (std::ranges::all_of(prefix, is_text)) return "text with no length prefix";
  const std::uint32_t big = payload_length(prefix);
  const std::uint32_t little =
      payload_length(std::array{prefix[3], prefix[2], prefix[1], prefix[0]});
  if (big > kLargestFrameLimit && little <= limit) {
    return "a little-endian length of " + std::to_string(little) + ", not a big-endian one";
  }
  return {};
}

}  // namespace

std::string describe_refused_prefix(std::span<const std::uint8_t, 4> prefix, std::uint32_t limit) {
  std::string text = ": its first bytes ";
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0) text += ' ';
    append_hex(prefix[i], text);
  }
  text += " (\"";
  for (std::uint8_t byte : prefix) {
    if (byte == '"' || byte == '\\') text += '\\';
    if (is_printable(byte)) {
      text += static_cast<char>(byte);
    } else {
      text += "\\x";
      append_hex(byte, text);
    }
  }
  text += "\")";
  std::string looks = resemblance(prefix, limit);
  if (!looks.empty()) text += " look like " + looks;
  return text;
}

}  // namespace fc::receiver
