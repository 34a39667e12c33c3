#include "receiver/length_diagnosis.h"

#include <gtest/gtest.h>

#include <string_view>

namespace fc::receiver {
namespace {

// One row for each kind of start, then each check at both ends of its range.
TEST(DescribeRefusedPrefix, Table) {
  struct Case {
    const char* prefix;  // its first four bytes
    std::uint32_t limit;
    std::string_view text;
  };
  const Case cases[] = {
      {"GET ", 100,
       R"(: its first bytes 47 45 54 20 ("GET ") look like an HTTP request, not a length-prefixed frame)"},
      {"PRI ", 100,
       R"(: its first bytes 50 52 49 20 ("PRI ") look like an HTTP/2 connection preface, not a length-prefixed frame)"},
      {"HTTP", 100,
       R"(: its first bytes 48 54 54 50 ("HTTP") look like an HTTP response, not a length-prefixed frame)"},
      {"hTTP", 100,
       R"(: its first bytes 68 54 54 50 ("hTTP") look like text with no length prefix)"},
      {"GETS", 100,
       R"(: its first bytes 47 45 54 53 ("GETS") look like text with no length prefix)"},
      {"\x16\x03\x01\x02", 100,
       R"(: its first bytes 16 03 01 02 ("\x16\x03\x01\x02") look like a TLS handshake, not a length-prefixed frame)"},
      {"\x14\x03\x04\x00", 0xffffffff,
       R"(: its first bytes 14 03 04 00 ("\x14\x03\x04\x00") look like a TLS record, not a length-prefixed frame)"},
      {"\x17\x03\x00\xff", 100,
       R"(: its first bytes 17 03 00 ff ("\x17\x03\x00\xff") look like a TLS record, not a length-prefixed frame)"},
      {"\x13\x03\x00\xff", 100, R"(: its first bytes 13 03 00 ff ("\x13\x03\x00\xff"))"},
      {"\x18\x03\x00\xff", 100, R"(: its first bytes 18 03 00 ff ("\x18\x03\x00\xff"))"},
      {"\x16\x04\x00\xff", 100, R"(: its first bytes 16 04 00 ff ("\x16\x04\x00\xff"))"},
      {"\x16\x03\x05\xff", 100, R"(: its first bytes 16 03 05 ff ("\x16\x03\x05\xff"))"},
      {"SSH-", 100,
       R"(: its first bytes 53 53 48 2d ("SSH-") look like an SSH banner, not a length-prefixed frame)"},
      {"{\"id", 100,
       R"(: its first bytes 7b 22 69 64 ("{\"id") look like JSON with no length prefix)"},
      {"[\x00\x00\x00", 100,
       R"(: its first bytes 5b 00 00 00 ("[\x00\x00\x00") look like JSON with no length prefix)"},
      {" \\~\t", 100,
       R"(: its first bytes 20 5c 7e 09 (" \\~\x09") look like text with no length prefix)"},
      {"ab\r\n", 100,
       R"(: its first bytes 61 62 0d 0a ("ab\x0d\x0a") look like text with no length prefix)"},
      {"\x1f" "abc", 100, R"(: its first bytes 1f 61 62 63 ("\x1fabc"))"},
      {"a\x7f" "bc", 100, R"(: its first bytes 61 7f 62 63 ("a\x7fbc"))"},
      {"ab\x0b\n", 100, R"(: its first bytes 61 62 0b 0a ("ab\x0b\x0a"))"},
      {"abc\x80", 100, R"(: its first bytes 61 62 63 80 ("abc\x80"))"},
      {"\x1c\x00\x00\x00", 100,
       R"(: its first bytes 1c 00 00 00 ("\x1c\x00\x00\x00") look like a little-endian length of 28, not a big-endian one)"},
      {"d\x00\x00\x00", 100,
       R"(: its first bytes 64 00 00 00 ("d\x00\x00\x00") look like a little-endian length of 100, not a big-endian one)"},
      {"d\x00\x00\x00", 99, R"(: its first bytes 64 00 00 00 ("d\x00\x00\x00"))"},
      {"\xfe\xfd\xff\x00", kLargestFrameLimit,
       R"(: its first bytes fe fd ff 00 ("\xfe\xfd\xff\x00") look like a little-endian length of 16776702, not a big-endian one)"},
      {"\x01\x00\x00\x00", 100, R"(: its first bytes 01 00 00 00 ("\x01\x00\x00\x00"))"},
      {"\x01\x00\x00\x01", 16777217,
       R"(: its first bytes 01 00 00 01 ("\x01\x00\x00\x01") look like a little-endian length of 16777217, not a big-endian one)"},
      {"\xff\xff\xff\xff", 100, R"(: its first bytes ff ff ff ff ("\xff\xff\xff\xff"))"},
  };
  for (const Case& c : cases) {
    std::span<const std::uint8_t, 4> prefix(reinterpret_cast<const std::uint8_t*>(c.prefix), 4);
    EXPECT_EQ(describe_refused_prefix(prefix, c.limit), c.text);
  }
}

}  // namespace
}  // namespace fc::receiver
