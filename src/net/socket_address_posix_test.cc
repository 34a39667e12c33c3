// The literal grammar against the platform's own address parser: the address
// parts must be read exactly as inet_pton reads them, and the port and scope
// exactly as std::from_chars reads an unsigned decimal number.
//
// Where the two languages are deliberately not compared:
// - inet_pton reads a C string and cannot see past a NUL byte, so generated
//   texts hold none (NUL bytes are covered by the table tests);
// - inet_pton knows no port and no "%scope"; those parts are cut off at the
//   first ':' after an IPv4 address, the first ']' and the first '%' (none of
//   which an address part can contain) and read with std::from_chars, which
//   like the grammar takes digits only, no sign and no white space.
// Everywhere else the languages agree with glibc's inet_pton; with another C
// library that reads addresses differently, the test names the texts.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "net/socket_address.h"
#include "net/socket_address_reference_posix_testing.h"
#include "net/socket_address_testing.h"

namespace fc {
namespace {

constexpr std::string_view kAlphabet = "0123456789abcdefABCDEF:.%[]";
// Bytes neither language should ever take.
constexpr std::string_view kStrangers = " +-xg\t";

class Generator {
 public:
  char any_char() {
    if (pick(20) == 0) return kStrangers[pick(kStrangers.size())];
    return kAlphabet[pick(kAlphabet.size())];
  }

  std::string random_text() {
    std::string text;
    for (std::size_t n = pick(24); n > 0; --n) text += any_char();
    return text;
  }

  // A valid literal with a few bytes inserted, removed, replaced or repeated.
  std::string mutated_literal() {
    static constexpr std::string_view kSeeds[] = {
        "127.0.0.1:12345",
        "0.0.0.0:0",
        "255.255.255.255:65535",
        "10.200.30.4:080",
        "[::1]:80",
        "[::]:0",
        "[fe80::1%7]:80",
        "[::ffff:1.2.3.4]:80",
        "[1:2:3:4:5:6:7:8]:1",
        "[1:2:3:4:5:6:7::]:1",
        "[::2:3:4:5:6:7:8]:1",
        "[a:B:c::D:e%4294967295]:65535",
        "[1:2:3:4:5:6:1.2.3.4]:9",
        "[1::1.2.3.4%0]:1",
        "[ABCD:ef01:2345:6789::]:00001",
    };
    std::string text(kSeeds[pick(std::size(kSeeds))]);
    for (std::size_t edits = 1 + pick(3); edits > 0; --edits) {
      std::size_t at = pick(text.size() + 1);
      switch (pick(4)) {
        case 0: text.insert(at, 1, any_char()); break;
        case 1:
          if (at < text.size()) text.erase(at, 1);
          break;
        case 2:
          if (at < text.size()) text[at] = any_char();
          break;
        default: text.insert(at, text.substr(pick(text.size()), 1 + pick(4))); break;
      }
    }
    return text;
  }

 private:
  std::size_t pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }

  std::mt19937_64 rng_{20240611};
};

TEST(ParseSocketAddressDifferential, AgreesWithThePlatformParser) {
  Generator generator;
  int literals = 0;
  int compared = 0;
  std::string mismatches;
  int mismatch_count = 0;
  for (int i = 0; i < 300000; ++i) {
    std::string text = i % 3 == 0 ? generator.random_text() : generator.mutated_literal();
    std::optional<SocketAddress> ours = parse_socket_address(text);
    std::optional<SocketAddress> reference = reference_parse(text);
    ++compared;
    if (ours) ++literals;
    if (ours != reference && ++mismatch_count <= 20) {
      mismatches += "\n  \"" + text + "\": grammar " +
                    (ours ? to_literal_text(*ours) : "no match") + ", reference " +
                    (reference ? to_literal_text(*reference) : "no match");
    }
  }
  EXPECT_EQ(mismatch_count, 0) << mismatches;
  // Both outcomes must be common, or the comparison proves little.
  EXPECT_GT(literals, compared / 10);
  EXPECT_LT(literals, compared * 9 / 10);
}

TEST(ParseSocketAddressDifferential, ReferenceSeesTheKnownCases) {
  // The reference itself, on texts whose answer is known.
  EXPECT_EQ(reference_parse("1.2.3.4:5"), parse_socket_address("1.2.3.4:5"));
  EXPECT_EQ(reference_parse("[fe80::1%7]:80"),
            SocketAddress(ipv6({0xfe80, 0, 0, 0, 0, 0, 0, 1}, 80, 7)));
  for (std::string_view text : {"01.2.3.4:1", "1.2.3.4:+1", "[::1%]:1", "[1::2::3]:1",
                                "[::1]:65536", "1.2.3.4:80x", "[::1%4294967296]:1"}) {
    EXPECT_FALSE(reference_parse(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace fc
