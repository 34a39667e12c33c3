#include "net/socket_address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "net/socket_address_testing.h"

namespace fc {
namespace {

struct Case {
  std::string_view text;
  std::optional<SocketAddress> literal;  // nothing: no match
};

void expect_table(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_EQ(parse_socket_address(c->text), c->literal) << '"' << c->text << '"';
  }
}

SocketAddress v4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d,
                 std::uint16_t port) {
  return Ipv4Address{{a, b, c, d}, port};
}

TEST(ParseSocketAddress, Ipv4Form) {
  const Case cases[] = {
      {"1.2.3.4:5", v4(1, 2, 3, 4, 5)},
      {"0.0.0.0:0", v4(0, 0, 0, 0, 0)},
      {"255.255.255.255:65535", v4(255, 255, 255, 255, 65535)},
      {"10.20.199.250:1", v4(10, 20, 199, 250, 1)},
      {"1.2.3.4:0000000000000000000080", v4(1, 2, 3, 4, 80)},
      // Octets: one to three digits, at most 255, no leading zero.
      {"00.1.2.3:1", {}},
      {"1.2.3.007:1", {}},
      {"1.02.3.4:1", {}},
      {"1.2.3.1000:1", {}},
      {"0001.2.3.4:1", {}},
      {"1.2.3.256:1", {}},
      {"1.2.3.4.5:1", {}},
      {"1.2.3.:1", {}},
      {".1.2.3:1", {}},
      {"1..2.3:1", {}},
      {"1.2.3:1", {}},
      {"a.2.3.4:1", {}},
      // Ports: digits only, no sign, never wrapped.
      {"1.2.3.4:", {}},
      {"1.2.3.4:+1", {}},
      {"1.2.3.4:-1", {}},
      {"1.2.3.4:65536", {}},
      {"1.2.3.4:4294967376", {}},            // 2^32 + 80
      {"1.2.3.4:18446744073709551696", {}},  // 2^64 + 80
      {"1.2.3.4:0x50", {}},
      {"1.2.3.4", {}},
      {"1.2.3.4::80", {}},
      {"1.2.3.4:80:", {}},
      // No white space, and every byte must be consumed.
      {" 1.2.3.4:1", {}},
      {"1.2.3.4 :1", {}},
      {"1.2.3.4: 1", {}},
      {"1.2.3.4:1 ", {}},
      {"1.2.3.4:1\n", {}},
      {std::string_view("1.2.3.4:80\0", 11), {}},
      {std::string_view("1.2.3.4\0:80", 11), {}},
      {"\xef\xbc\x91.2.3.4:1", {}},  // a fullwidth digit one
      {"", {}},
  };
  expect_table(std::begin(cases), std::end(cases));
}

TEST(ParseSocketAddress, Ipv6Form) {
  const Case cases[] = {
      {"[::]:0", ipv6({0, 0, 0, 0, 0, 0, 0, 0}, 0)},
      {"[::1]:80", ipv6({0, 0, 0, 0, 0, 0, 0, 1}, 80)},
      {"[1::]:1", ipv6({1, 0, 0, 0, 0, 0, 0, 0}, 1)},
      {"[1:2:3:4:5:6:7:8]:9", ipv6({1, 2, 3, 4, 5, 6, 7, 8}, 9)},
      {"[ABCD:ef01:0:00:000:0000:FfFf:a]:1", ipv6({0xabcd, 0xef01, 0, 0, 0, 0, 0xffff, 0xa}, 1)},
      {"[a:b::c:d]:1", ipv6({0xa, 0xb, 0, 0, 0, 0, 0xc, 0xd}, 1)},
      {"[::2:3:4:5:6:7:8]:1", ipv6({0, 2, 3, 4, 5, 6, 7, 8}, 1)},
      {"[1:2:3:4:5:6:7::]:1", ipv6({1, 2, 3, 4, 5, 6, 7, 0}, 1)},
      {"[1::8]:0065535", ipv6({1, 0, 0, 0, 0, 0, 0, 8}, 65535)},
      // "::" always stands for at least one zero group.
      {"[::1:2:3:4:5:6:7:8]:1", {}},
      {"[1:2:3:4:5:6:7:8::]:1", {}},
      {"[1:2:3:4::5:6:7:8]:1", {}},
      {"[1::2::3]:1", {}},
      {"[:::]:1", {}},
      {"[1:::2]:1", {}},
      {"[:1::]:1", {}},
      {"[1::2:]:1", {}},
      {"[1:2:3:4:5:6:7]:1", {}},
      {"[1:2:3:4:5:6:7:8:9]:1", {}},
      {"[12345::]:1", {}},
      {"[::fffff]:1", {}},
      {"[::g]:1", {}},
      {"[]:1", {}},
      // Embedded IPv4: two slots, and only at the end.
      {"[::1.2.3.4]:1", ipv6({0, 0, 0, 0, 0, 0, 0x0102, 0x0304}, 1)},
      {"[::ffff:192.168.0.1]:1", ipv6({0, 0, 0, 0, 0, 0xffff, 0xc0a8, 0x0001}, 1)},
      {"[1:2:3:4:5:6:255.0.0.7]:1", ipv6({1, 2, 3, 4, 5, 6, 0xff00, 0x0007}, 1)},
      {"[1:2:3:4:5::1.2.3.4]:1", ipv6({1, 2, 3, 4, 5, 0, 0x0102, 0x0304}, 1)},
      {"[1.2.3.4::]:1", {}},
      {"[1:1.2.3.4::]:1", {}},
      {"[1:2:3:4:5:6::1.2.3.4]:1", {}},
      {"[1:2:3:4:5:6:7:1.2.3.4]:1", {}},
      {"[::1.2.3.4:5]:1", {}},
      {"[::01.2.3.4]:1", {}},
      {"[::1.2.3.256]:1", {}},
      {"[::1.2.3]:1", {}},
      // Scope identifiers: digits, 32 bits, never wrapped.
      {"[fe80::1%7]:80", ipv6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 80, 7)},
      {"[::1%0]:1", ipv6({0, 0, 0, 0, 0, 0, 0, 1}, 1, 0)},
      {"[::1%00007]:1", ipv6({0, 0, 0, 0, 0, 0, 0, 1}, 1, 7)},
      {"[::1%4294967295]:1", ipv6({0, 0, 0, 0, 0, 0, 0, 1}, 1, 4294967295u)},
      {"[::1%4294967296]:1", {}},
      {"[::1%18446744073709551623]:1", {}},  // 2^64 + 7
      {"[::1%]:1", {}},
      {"[::1%+7]:1", {}},
      {"[::1%eth0]:1", {}},
      {"[::1%7%8]:1", {}},
      {"[::1.2.3.4%7]:1", ipv6({0, 0, 0, 0, 0, 0, 0x0102, 0x0304}, 1, 7)},
      // Brackets, colon and port.
      {"[::1]", {}},
      {"[::1]:", {}},
      {"[::1]80", {}},
      {"[::1]:65536", {}},
      {"[::1]:+80", {}},
      {"[::1]:80x", {}},
      {"[::1]]:80", {}},
      {"[[::1]]:80", {}},
      {"[::1:80", {}},
      {"::1]:80", {}},
      {"::1:80", {}},
      {"[ ::1]:80", {}},
      {"[::1 ]:80", {}},
      {"[::1] :80", {}},
      {std::string_view("[::1\0]:80", 9), {}},
  };
  expect_table(std::begin(cases), std::end(cases));
}

TEST(ParseSocketAddress, FlowInformationIsAlwaysZero) {
  for (std::string_view text : {"[::1]:1", "[fe80::1%7]:2", "[::ffff:1.2.3.4]:3"}) {
    std::optional<SocketAddress> address = parse_socket_address(text);
    const auto* v6 = address ? std::get_if<Ipv6Address>(&*address) : nullptr;
    ASSERT_NE(v6, nullptr) << text;
    EXPECT_EQ(v6->flow_info, 0u) << text;
  }
}

TEST(ParseSocketAddress, WrittenOutAddressesReadBack) {
  const SocketAddress addresses[] = {
      v4(0, 0, 0, 0, 0),
      v4(255, 254, 10, 1, 65535),
      ipv6({0, 0, 0, 0, 0, 0, 0, 0}, 0),
      ipv6({0xffff, 0xfffe, 0x8000, 0x7fff, 1, 0x10, 0x100, 0x1000}, 65535, 4294967295u),
  };
  for (const SocketAddress& address : addresses) {
    std::string text = to_literal_text(address);
    EXPECT_EQ(parse_socket_address(text), address) << text;
  }
}

// Each text reads back as its address, the flow information aside.
TEST(SocketAddressText, Table) {
  struct Row {
    SocketAddress address;
    std::string_view text;
  };
  Ipv6Address with_flow = ipv6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 80, 7);
  with_flow.flow_info = 9;
  const Row rows[] = {
      {v4(127, 0, 0, 1, 54321), "127.0.0.1:54321"},
      {v4(0, 0, 0, 0, 0), "0.0.0.0:0"},
      {v4(255, 255, 255, 255, 65535), "255.255.255.255:65535"},
      {ipv6({0, 0, 0, 0, 0, 0, 0, 0}, 0), "[::]:0"},
      {ipv6({0, 0, 0, 0, 0, 0, 0, 1}, 80), "[::1]:80"},
      {ipv6({1, 0, 0, 0, 0, 0, 0, 0}, 1), "[1::]:1"},
      {ipv6({1, 0, 0, 2, 0, 0, 0, 3}, 1), "[1:0:0:2::3]:1"},
      {ipv6({1, 0, 0, 2, 0, 0, 3, 4}, 1), "[1::2:0:0:3:4]:1"},
      {ipv6({0, 1, 2, 3, 4, 5, 6, 0}, 1), "[0:1:2:3:4:5:6:0]:1"},
      {ipv6({0x1000, 0x100, 0x10, 0xabcd, 0, 0, 0, 0xf}, 1), "[1000:100:10:abcd::f]:1"},
      {ipv6({0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff}, 65535, 4294967295u),
       "[ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff%4294967295]:65535"},
      {with_flow, "[fe80::1%7]:80"},
      {ipv6({0, 0, 0, 0, 0, 0xffff, 0x0102, 0x0304}, 80), "[::ffff:1.2.3.4]:80"},
      {ipv6({0, 0, 0, 0, 0, 0xffff, 0, 0}, 80), "[::ffff:0.0.0.0]:80"},
      {ipv6({0, 0, 0, 0, 0, 0xfffe, 0x0102, 0x0304}, 80), "[::fffe:102:304]:80"},
      {ipv6({0, 0, 0, 0, 1, 0xffff, 0x0102, 0x0304}, 80), "[::1:ffff:102:304]:80"},
      {ipv6({1, 0, 0, 0, 0, 0xffff, 0x0102, 0x0304}, 80), "[1::ffff:102:304]:80"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(socket_address_text(row.address), row.text);
    SocketAddress back = row.address;
    if (auto* v6 = std::get_if<Ipv6Address>(&back)) v6->flow_info = 0;
    EXPECT_EQ(parse_socket_address(row.text), back) << row.text;
  }
}

}  // namespace
}  // namespace fc
