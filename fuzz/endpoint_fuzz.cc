// Endpoint texts from arbitrary bytes through connect_endpoint's steps, with
// the name lookup and the connect step replaced: a literal never reaches the
// resolver and is the one address tried; any other text is cut at its last
// ':' and its port read exactly by the port rules, or it fails with the
// matching error before any lookup or connection attempt.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/connect_loop.h"

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
  constexpr NativeSocket kConnected = 42;

  int lookups = 0;
  std::string_view looked_up_host;
  std::uint16_t looked_up_port = 0;
  auto resolver = [&](std::string_view host, std::uint16_t port) {
    ++lookups;
    looked_up_host = host;
    looked_up_port = port;
    return Result<std::vector<SocketAddress>>(std::vector<SocketAddress>{resolved});
  };
  // Every address is taken, so the first one tried is the only one.
  std::vector<SocketAddress> tried;
  auto accepting_connect = [&](const SocketAddress& address) -> Result<NativeSocket> {
    tried.push_back(address);
    return kConnected;
  };
  Result<NativeSocket> socket = connect_endpoint_with(text, resolver, accepting_connect);

  if (std::optional<SocketAddress> literal = parse_socket_address(text)) {
    fuzz_check(lookups == 0, "a literal needs no lookup", text);
    fuzz_check(socket && tried == std::vector<SocketAddress>{*literal},
               "a literal is the one address tried", text);
    return 0;
  }
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    fuzz_check(!socket && has_message(socket.error(), kInvalidSocketAddress),
               "no colon: invalid socket address", text);
    fuzz_check(lookups == 0 && tried.empty(), "no lookup or attempt without a colon", text);
    return 0;
  }
  std::optional<std::uint16_t> port = expected_port(text.substr(colon + 1));
  fuzz_check(parse_port_text(text.substr(colon + 1)) == port, "port rules", text);
  if (!port) {
    fuzz_check(!socket && has_message(socket.error(), kInvalidPortValue),
               "bad port: invalid port value", text);
    fuzz_check(lookups == 0 && tried.empty(), "no lookup or attempt with a bad port", text);
    return 0;
  }
  fuzz_check(lookups == 1, "one lookup", text);
  // The host is passed on untouched: the very bytes before the last colon.
  fuzz_check(looked_up_host.data() == text.data() && looked_up_host.size() == colon,
             "host is the text before the last colon", text);
  fuzz_check(looked_up_port == *port, "port is the text after the last colon", text);
  fuzz_check(socket && *socket == kConnected && tried == std::vector<SocketAddress>{resolved},
             "the lookup's answer is the address tried", text);
  return 0;
}
