#include "net/socket_address.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace fc {
namespace {

// A reading position in the endpoint text. Readers advance past what they
// match; attempt() puts the position back when a reader fails, so that the
// next alternative starts from the same place.
class Reader {
 public:
  explicit Reader(std::string_view text) : rest_(text) {}

  bool at_end() const { return rest_.empty(); }

  /// Consumes `c` if it comes next.
  bool take(char c) {
    if (rest_.empty() || rest_.front() != c) return false;
    rest_.remove_prefix(1);
    return true;
  }

  /// The next character's value as a digit of `radix` (10 or 16), if it is one.
  std::optional<std::uint32_t> peek_digit(std::uint32_t radix) const {
    if (rest_.empty()) return std::nullopt;
    char c = rest_.front();
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
    if (radix == 16 && c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
    if (radix == 16 && c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
    return std::nullopt;
  }

  void skip() { rest_.remove_prefix(1); }

  /// Runs `read` on this reader; if it fails, the position is left unchanged.
  template <typename Read>
  auto attempt(Read read) -> decltype(read(*this)) {
    Reader saved = *this;
    auto result = read(*this);
    if (!result) *this = saved;
    return result;
  }

 private:
  std::string_view rest_;
};

using Ipv4Bytes = std::array<std::uint8_t, 4>;
using Ipv6Bytes = std::array<std::uint8_t, 16>;

// One or more decimal digits, leading zeros allowed, value at most `max`.
// The value is checked before every step, so it can never wrap.
std::optional<std::uint32_t> read_decimal(Reader& reader, std::uint32_t max) {
  std::optional<std::uint32_t> digit = reader.peek_digit(10);
  if (!digit) return std::nullopt;
  std::uint32_t value = 0;
  while (digit) {
    if (value > (max - *digit) / 10) return std::nullopt;
    value = value * 10 + *digit;
    reader.skip();
    digit = reader.peek_digit(10);
  }
  return value;
}

// One to three decimal digits, at most 255; "0" is an octet, "00" and "01" are
// not. A fourth digit fails the octet rather than ending it.
std::optional<std::uint8_t> read_octet(Reader& reader) {
  std::uint32_t value = 0;
  int digits = 0;
  while (std::optional<std::uint32_t> digit = reader.peek_digit(10)) {
    if (digits == 3) return std::nullopt;
    if (digits == 1 && value == 0) return std::nullopt;
    value = value * 10 + *digit;
    ++digits;
    reader.skip();
  }
  if (digits == 0 || value > 255) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

// One to four hex digits in either case; a fifth digit fails the group.
std::optional<std::uint16_t> read_group(Reader& reader) {
  std::uint32_t value = 0;
  int digits = 0;
  while (std::optional<std::uint32_t> digit = reader.peek_digit(16)) {
    if (digits == 4) return std::nullopt;
    value = value * 16 + *digit;
    ++digits;
    reader.skip();
  }
  if (digits == 0) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

std::optional<Ipv4Bytes> read_ipv4(Reader& reader) {
  Ipv4Bytes bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0 && !reader.take('.')) return std::nullopt;
    std::optional<std::uint8_t> octet = read_octet(reader);
    if (!octet) return std::nullopt;
    bytes[i] = *octet;
  }
  return bytes;
}

// The groups read on one side of "::".
struct Run {
  std::array<std::uint16_t, 8> groups{};
  std::size_t count = 0;
  bool ends_in_ipv4 = false;
};

// Reads up to `slots` groups, each after a ':' except the first. Where at
// least two slots remain an embedded IPv4 address is tried first; it fills
// two slots and ends the run. The run stops before a ':' not followed by a
// group, so that "::" is still there to read.
Run read_run(Reader& reader, std::size_t slots) {
  Run run;
  for (std::size_t i = 0; i < slots; ++i) {
    bool colon_first = i > 0;
    if (i + 1 < slots) {
      std::optional<Ipv4Bytes> v4 = reader.attempt([&](Reader& r) -> std::optional<Ipv4Bytes> {
        if (colon_first && !r.take(':')) return std::nullopt;
        return read_ipv4(r);
      });
      if (v4) {
        run.groups[i] = static_cast<std::uint16_t>((*v4)[0] << 8 | (*v4)[1]);
        run.groups[i + 1] = static_cast<std::uint16_t>((*v4)[2] << 8 | (*v4)[3]);
        run.count = i + 2;
        run.ends_in_ipv4 = true;
        return run;
      }
    }
    std::optional<std::uint16_t> group =
        reader.attempt([&](Reader& r) -> std::optional<std::uint16_t> {
          if (colon_first && !r.take(':')) return std::nullopt;
          return read_group(r);
        });
    if (!group) return run;
    run.groups[i] = *group;
    run.count = i + 1;
  }
  return run;
}

// Eight groups, or a head run, "::" and a tail run that together leave at
// least one zero group between them.
std::optional<Ipv6Bytes> read_ipv6(Reader& reader) {
  std::array<std::uint16_t, 8> groups{};
  Run head = read_run(reader, 8);
  for (std::size_t i = 0; i < head.count; ++i) groups[i] = head.groups[i];
  if (head.count < 8) {
    if (head.ends_in_ipv4) return std::nullopt;
    if (!reader.take(':') || !reader.take(':')) return std::nullopt;
    Run tail = read_run(reader, 7 - head.count);
    std::size_t first = groups.size() - tail.count;
    for (std::size_t i = 0; i < tail.count; ++i) groups[first + i] = tail.groups[i];
  }
  Ipv6Bytes bytes{};
  for (std::size_t i = 0; i < groups.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & 0xff);
  }
  return bytes;
}

std::optional<std::uint16_t> read_port(Reader& reader) {
  std::optional<std::uint32_t> port =
      read_decimal(reader, std::numeric_limits<std::uint16_t>::max());
  if (!port) return std::nullopt;
  return static_cast<std::uint16_t>(*port);
}

// "a.b.c.d:port"; the caller checks that nothing follows.
std::optional<Ipv4Address> read_ipv4_socket_address(Reader& reader) {
  std::optional<Ipv4Bytes> bytes = read_ipv4(reader);
  if (!bytes || !reader.take(':')) return std::nullopt;
  std::optional<std::uint16_t> port = read_port(reader);
  if (!port) return std::nullopt;
  return Ipv4Address{*bytes, *port};
}

// "[address%scope]:port" with the scope optional; the caller checks that
// nothing follows.
std::optional<Ipv6Address> read_ipv6_socket_address(Reader& reader) {
  if (!reader.take('[')) return std::nullopt;
  std::optional<Ipv6Bytes> bytes = read_ipv6(reader);
  if (!bytes) return std::nullopt;
  std::uint32_t scope_id = 0;
  if (reader.take('%')) {
    std::optional<std::uint32_t> scope =
        read_decimal(reader, std::numeric_limits<std::uint32_t>::max());
    if (!scope) return std::nullopt;
    scope_id = *scope;
  }
  if (!reader.take(']') || !reader.take(':')) return std::nullopt;
  std::optional<std::uint16_t> port = read_port(reader);
  if (!port) return std::nullopt;
  return Ipv6Address{*bytes, *port, 0, scope_id};
}

void append_ipv4(const std::uint8_t* bytes, std::string& out) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0) out += '.';
    out += std::to_string(bytes[i]);
  }
}

// The group in lowercase hex without leading zeros.
void append_group(std::uint16_t group, std::string& out) {
  constexpr char kHexDigits[] = "0123456789abcdef";
  int shift = 12;
  while (shift > 0 && (group >> shift) == 0) shift -= 4;
  for (; shift >= 0; shift -= 4) out += kHexDigits[(group >> shift) & 0xf];
}

// The longest run of two or more zero groups, the first of equal ones:
// `length` 0 when there is none.
struct ZeroRun {
  std::size_t first = 0;
  std::size_t length = 0;
};

ZeroRun longest_zero_run(const std::array<std::uint16_t, 8>& groups) {
  ZeroRun longest;
  for (std::size_t i = 0; i < groups.size();) {
    std::size_t end = i;
    while (end < groups.size() && groups[end] == 0) ++end;
    if (end - i >= 2 && end - i > longest.length) longest = {i, end - i};
    i = end == i ? i + 1 : end;
  }
  return longest;
}

// The first 12 bytes of every IPv4-mapped address, ::ffff:0:0/96.
constexpr std::array<std::uint8_t, 12> kMappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

void append_ipv6(const Ipv6Bytes& bytes, std::string& out) {
  if (std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), bytes.begin())) {
    out += "::ffff:";
    append_ipv4(&bytes[12], out);
    return;
  }
  std::array<std::uint16_t, 8> groups{};
  for (std::size_t i = 0; i < groups.size(); ++i) {
    groups[i] = static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  }
  const ZeroRun run = longest_zero_run(groups);
  for (std::size_t i = 0; i < groups.size();) {
    if (run.length != 0 && i == run.first) {
      out += "::";
      i += run.length;
      continue;
    }
    if (i > 0 && out.back() != ':') out += ':';
    append_group(groups[i++], out);
  }
}

}  // namespace

std::string socket_address_text(const SocketAddress& address) {
  std::string text;
  if (const auto* v4 = std::get_if<Ipv4Address>(&address)) {
    append_ipv4(v4->bytes.data(), text);
    text += ':';
    text += std::to_string(v4->port);
    return text;
  }
  const auto& v6 = std::get<Ipv6Address>(address);
  text += '[';
  append_ipv6(v6.bytes, text);
  if (v6.scope_id != 0) {
    text += '%';
    text += std::to_string(v6.scope_id);
  }
  text += "]:";
  text += std::to_string(v6.port);
  return text;
}

std::optional<SocketAddress> parse_socket_address(std::string_view text) {
  Reader v4_reader(text);
  if (std::optional<Ipv4Address> v4 = read_ipv4_socket_address(v4_reader)) {
    // A complete IPv4 form with text left over is no literal at all.
    if (!v4_reader.at_end()) return std::nullopt;
    return *v4;
  }
  Reader v6_reader(text);
  std::optional<Ipv6Address> v6 = read_ipv6_socket_address(v6_reader);
  if (!v6 || !v6_reader.at_end()) return std::nullopt;
  return *v6;
}

bool is_ipv6_any(const SocketAddress& address) {
  const auto* v6 = std::get_if<Ipv6Address>(&address);
  return v6 != nullptr && v6->bytes == std::array<std::uint8_t, 16>{};
}

}  // namespace fc
