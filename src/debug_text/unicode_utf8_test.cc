#include "debug_text/unicode_utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string_view>

namespace fc {
namespace {

// Decodes from a heap block of exactly the given bytes, so that the address
// sanitizer catches any read past them.
Utf8Char decode_exact(std::string_view bytes) {
  auto block = std::make_unique<unsigned char[]>(bytes.size());
  std::memcpy(block.get(), bytes.data(), bytes.size());
  return decode_utf8(block.get(), bytes.size());
}

std::size_t encode(char32_t cp, unsigned char (&out)[4]) {
  if (cp < 0x80) {
    out[0] = static_cast<unsigned char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
  return 4;
}

TEST(DecodeUtf8, BoundarySequences) {
  struct Case {
    std::string_view bytes;
    char32_t code_point;
    int length;  // 0: malformed
  };
  const Case cases[] = {
      {std::string_view("\0", 1), 0, 1},
      {"\x7F", 0x7F, 1},
      {"\xC2\x80", 0x80, 2},
      {"\xDF\xBF", 0x7FF, 2},
      {"\xE0\xA0\x80", 0x800, 3},
      {"\xED\x9F\xBF", 0xD7FF, 3},
      {"\xEE\x80\x80", 0xE000, 3},
      {"\xEF\xBF\xBF", 0xFFFF, 3},
      {"\xF0\x90\x80\x80", 0x10000, 4},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
      {"\xC3\xA9zz", 0xE9, 2},  // reads only its own bytes
      // Lead bytes that start nothing.
      {"\x80", 0, 0},
      {"\xBF", 0, 0},
      {"\xC0\x80", 0, 0},
      {"\xC1\xBF", 0, 0},
      {"\xF5\x80\x80\x80", 0, 0},
      {"\xFF", 0, 0},
      // Overlong forms, surrogates, beyond U+10FFFF.
      {"\xE0\x9F\xBF", 0, 0},
      {"\xF0\x8F\xBF\xBF", 0, 0},
      {"\xED\xA0\x80", 0, 0},
      {"\xED\xBF\xBF", 0, 0},
      {"\xF4\x90\x80\x80", 0, 0},
      // Bad continuation bytes.
      {"\xC3\x28", 0, 0},
      {"\xE2\x82\x28", 0, 0},
      {"\xF0\x9F\x98\xC0", 0, 0},
      // Cut short by the end of the text.
      {"\xC3", 0, 0},
      {"\xE2\x82", 0, 0},
      {"\xF0\x9F\x98", 0, 0},
      {"\xF4", 0, 0},
  };
  for (const Case& c : cases) {
    Utf8Char got = decode_exact(c.bytes);
    EXPECT_EQ(got.length, c.length) << testing::PrintToString(c.bytes);
    if (c.length != 0) {
      EXPECT_EQ(got.code_point, c.code_point) << testing::PrintToString(c.bytes);
    }
  }
}

TEST(DecodeUtf8, EveryScalarValueAndEveryCutOfIt) {
  // One exact-size heap block per length, so that reads past the end are caught.
  std::unique_ptr<unsigned char[]> blocks[5];
  for (std::size_t n = 1; n <= 4; ++n) blocks[n] = std::make_unique<unsigned char[]>(n);
  for (char32_t cp = 0; cp < 0x110000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    unsigned char bytes[4];
    std::size_t size = encode(cp, bytes);
    for (std::size_t cut = 1; cut <= size; ++cut) {
      std::memcpy(blocks[cut].get(), bytes, cut);
      Utf8Char got = decode_utf8(blocks[cut].get(), cut);
      auto shown = static_cast<unsigned>(cp);
      if (cut == size) {
        ASSERT_EQ(got.length, size) << std::hex << shown;
        ASSERT_EQ(got.code_point, cp) << std::hex << shown;
      } else {
        ASSERT_EQ(got.length, 0) << std::hex << shown << " cut to " << cut;
      }
    }
  }
}

}  // namespace
}  // namespace fc
