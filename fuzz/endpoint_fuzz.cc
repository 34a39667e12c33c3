// Endpoint texts from arbitrary bytes through resolve_endpoint, with the name
// lookup replaced: a literal never reaches the resolver; any other text is
// cut at its last ':' and its port read exactly by the port rules, or it
// fails with the matching error before any lookup.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/tcp_client_stream.h"

namespace {

// The port rules restated: an optional '+', then digits only, at most 65535.
std::optional<std::uint16_t> expected_port(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  std::uint16_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool has_message(const fc::IoError& error, const fc::FixedMessage& message) {
  return error.fixed() == &message;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fc;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const SocketAddress resolved = Ipv4Address{{192, 0, 2, 1}, 7};

  int lookups = 0;
  std::string_view looked_up_host;
  std::uint16_t looked_up_port = 0;
  auto resolver = [&](std::string_view host, std::uint16_t port) {
    ++lookups;
    looked_up_host = host;
    looked_up_port = port;
    return Result<std::vector<SocketAddress>>(std::vector<SocketAddress>{resolved});
  };
  Result<std::vector<SocketAddress>> addresses = resolve_endpoint_with(text, resolver);

  if (std::optional<SocketAddress> literal = parse_socket_address(text)) {
    fuzz_check(lookups == 0, "a literal needs no lookup", text);
    fuzz_check(addresses && *addresses == std::vector<SocketAddress>{*literal},
               "a literal is the whole address list", text);
    return 0;
  }
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    fuzz_check(!addresses && has_message(addresses.error(), fixed_messages::kInvalidSocketAddress),
               "no colon: invalid socket address", text);
    fuzz_check(lookups == 0, "no lookup without a colon", text);
    return 0;
  }
  std::optional<std::uint16_t> port = expected_port(text.substr(colon + 1));
  fuzz_check(parse_port_text(text.substr(colon + 1)) == port, "port rules", text);
  if (!port) {
    fuzz_check(!addresses && has_message(addresses.error(), fixed_messages::kInvalidPortValue),
               "bad port: invalid port value", text);
    fuzz_check(lookups == 0, "no lookup with a bad port", text);
    return 0;
  }
  fuzz_check(lookups == 1, "one lookup", text);
  // The host is passed on untouched: the very bytes before the last colon.
  fuzz_check(looked_up_host.data() == text.data() && looked_up_host.size() == colon,
             "host is the text before the last colon", text);
  fuzz_check(looked_up_port == *port, "port is the text after the last colon", text);
  fuzz_check(addresses && *addresses == std::vector<SocketAddress>{resolved},
             "the lookup's answer is returned", text);
  return 0;
}
