#include "json/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace fc {
namespace {

// The text of `bytes` encoded in two pieces, the first `cut` bytes long.
std::string encoded(std::string_view bytes, std::size_t cut) {
  std::string out(base64_length(bytes.size()), '?');
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t size = base64_encode({data, cut}, out.data());
  size += base64_encode({data + cut, bytes.size() - cut}, out.data() + size);
  EXPECT_EQ(size, out.size());
  return out;
}

// RFC 4648's own examples, every char of the alphabet, and the padding
// after each length of the last group; whole, and in pieces cut after each
// group of 3 bytes.
TEST(Base64, Table) {
  struct Case {
    std::string_view bytes;
    std::string_view text;
  };
  // The 6-bit values 0 to 63 in turn.
  const std::string_view alphabet_bytes(
      "\x00\x10\x83\x10\x51\x87\x20\x92\x8b\x30\xd3\x8f\x41\x14\x93\x51"
      "\x55\x97\x61\x96\x9b\x71\xd7\x9f\x82\x18\xa3\x92\x59\xa7\xa2\x9a"
      "\xab\xb2\xdb\xaf\xc3\x1c\xb3\xd3\x5d\xb7\xe3\x9e\xbb\xf3\xdf\xbf",
      48);
  const Case cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {alphabet_bytes, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"},
      {"\xff\xff\xff\xff", "/////w=="},
  };
  for (const Case& c : cases) {
    for (std::size_t cut = 0; cut <= c.bytes.size(); cut += 3) {
      EXPECT_EQ(encoded(c.bytes, cut), c.text) << "cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace fc
