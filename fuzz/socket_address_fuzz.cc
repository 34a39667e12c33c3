// Literal socket addresses from arbitrary bytes: no crash or undefined
// behaviour, every match reads back from its written-out form, and the
// result agrees with the platform's own address parser.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "net/socket_address.h"
#include "net/socket_address_reference_posix_testing.h"
#include "net/socket_address_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fc;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<SocketAddress> literal = parse_socket_address(text);

  if (literal) {
    for (char c : text) {
      fuzz_check(c > ' ' && c < 0x7f, "a literal holds printable ASCII only", text);
    }
    bool v4 = std::holds_alternative<Ipv4Address>(*literal);
    fuzz_check(v4 ? text[0] != '[' : text[0] == '[', "the family follows the first byte", text);
    if (!v4) fuzz_check(std::get<Ipv6Address>(*literal).flow_info == 0, "flow info is 0", text);
    fuzz_check(parse_socket_address(to_literal_text(*literal)) == literal,
               "a literal reads back from its written-out form", text);
  }

  // The platform parser stops at a NUL byte; no literal holds one.
  if (text.find('\0') != std::string_view::npos) {
    fuzz_check(!literal, "a text with a NUL byte is no literal", text);
  } else {
    fuzz_check(literal == reference_parse(text), "agrees with inet_pton and from_chars", text);
  }
  return 0;
}
