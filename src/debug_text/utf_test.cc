#include "debug_text/utf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fc {
namespace {

// A heap block of exactly `size` bytes, for the first `size` bytes of an
// input, so that the address sanitizer catches any read past them.
class ExactBytes {
 public:
  explicit ExactBytes(std::size_t size) : block_(std::make_unique<char[]>(size)), size_(size) {}
  std::string_view hold(std::string_view bytes) {
    std::memcpy(block_.get(), bytes.data(), size_);
    return std::string_view(block_.get(), size_);
  }

 private:
  std::unique_ptr<char[]> block_;
  std::size_t size_;
};

Utf8Sequence decode_exact(std::string_view bytes) {
  return decode_utf8(ExactBytes(bytes.size()).hold(bytes));
}

std::string encode(char32_t cp) {
  std::string bytes;
  append_utf8(bytes, cp);
  return bytes;
}

void expect_sequence(const Utf8Sequence& got, char32_t cp, std::size_t length, bool well_formed,
                     std::string_view bytes) {
  EXPECT_EQ(got.well_formed, well_formed) << testing::PrintToString(bytes);
  EXPECT_EQ(got.length, length) << testing::PrintToString(bytes);
  EXPECT_EQ(got.code_point, cp) << testing::PrintToString(bytes);
}

TEST(Utf8, BoundariesOfEachLengthBothWays) {
  struct Case {
    std::string_view bytes;
    char32_t code_point;
  };
  const Case cases[] = {
      {std::string_view("\0", 1), 0},
      {"\x7F", 0x7F},
      {"\xC2\x80", 0x80},
      {"\xDF\xBF", 0x7FF},
      {"\xE0\xA0\x80", 0x800},
      {"\xED\x9F\xBF", 0xD7FF},
      {"\xEE\x80\x80", 0xE000},
      {"\xEF\xBF\xBF", 0xFFFF},
      {"\xF0\x90\x80\x80", 0x10000},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encode(c.code_point), c.bytes);
    expect_sequence(decode_exact(c.bytes), c.code_point, c.bytes.size(), true, c.bytes);
    // A following continuation byte is not taken in.
    std::string longer = std::string(c.bytes) + "\x80";
    expect_sequence(decode_exact(longer), c.code_point, c.bytes.size(), true, longer);
  }
}

TEST(DecodeUtf8, MaximalIllFormedSubparts) {
  struct Case {
    std::string_view bytes;
    std::size_t length;
  };
  const Case cases[] = {
      // Nothing well-formed starts with the first byte.
      {"\xC0\xAF", 1},
      {"\xC1\xBF", 1},
      {"\xF5\x80\x80\x80", 1},
      {"\xFF\xBF", 1},
      {"\xC2\x41", 1},
      {"\xE2\x28\xA1", 1},
      // Overlong forms, surrogates, beyond U+10FFFF: refused at the second byte.
      {"\xE0\x9F\xBF", 1},
      {"\xF0\x8F\xBF\xBF", 1},
      {"\xED\xA0\x80", 1},
      {"\xED\xBF\xBF", 1},
      {"\xF4\x90\x80\x80", 1},
      // A start of a well-formed sequence, broken by the byte after it.
      {"\xE0\xA0\x41", 2},
      {"\xED\x9F\xC0", 2},
      {"\xE1\x80\xC2", 2},
      {"\xF0\x90\x80\x41", 3},
      {"\xF1\x80\x80\xC2", 3},
      {"\xF4\x8F\xBF\xF4", 3},
      {"\xF3\xBF\x7F\x80", 2},
      // Cut short by the end of the text.
      {"\xE0\xA0", 2},
      {"\xF0\x9F\x98", 3},
      {"\xF4\x8F", 2},
  };
  for (const Case& c : cases) {
    expect_sequence(decode_exact(c.bytes), kReplacementCharacter, c.length, false, c.bytes);
  }
}

TEST(Utf8, EveryCodePointEncodedThenDecodedAndEveryCutOfIt) {
  ExactBytes blocks[] = {ExactBytes(0), ExactBytes(1), ExactBytes(2), ExactBytes(3), ExactBytes(4)};
  for (char32_t cp = 0; cp < 0x110000; ++cp) {
    const std::string bytes = encode(cp);
    const auto shown = static_cast<unsigned>(cp);
    ASSERT_TRUE(bytes.size() >= 1 && bytes.size() <= 4) << std::hex << shown;
    Utf8Sequence whole = decode_utf8(blocks[bytes.size()].hold(bytes));
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      ASSERT_FALSE(whole.well_formed) << std::hex << shown;
      ASSERT_EQ(whole.length, 1) << std::hex << shown;
      continue;
    }
    ASSERT_TRUE(whole.well_formed) << std::hex << shown;
    ASSERT_EQ(whole.code_point, cp) << std::hex << shown;
    ASSERT_EQ(whole.length, bytes.size()) << std::hex << shown;
    for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
      Utf8Sequence part = decode_utf8(blocks[cut].hold(bytes));
      ASSERT_FALSE(part.well_formed) << std::hex << shown << " cut to " << cut;
      ASSERT_EQ(part.length, cut) << std::hex << shown << " cut to " << cut;
    }
  }
}

// Every input of one and two bytes, judged against what the encodings of all
// code points make well-formed: a two-byte input is a whole sequence, the
// start of a longer one (so both bytes are one ill-formed part), or neither
// (so its first byte alone is).
TEST(DecodeUtf8, EveryOneAndTwoByteInput) {
  constexpr char32_t kNone = 0xFFFFFFFF;
  std::vector<char32_t> whole(0x10000, kNone);
  std::vector<bool> starts_longer(0x10000, false);
  for (char32_t cp = 0x80; cp < 0x110000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::string bytes = encode(cp);
    const unsigned pair =
        static_cast<unsigned char>(bytes[0]) * 0x100u + static_cast<unsigned char>(bytes[1]);
    if (bytes.size() == 2) whole[pair] = cp;
    if (bytes.size() > 2) starts_longer[pair] = true;
  }
  ExactBytes one(1);
  ExactBytes two(2);
  for (unsigned first = 0; first < 0x100; ++first) {
    const char lead = static_cast<char>(first);
    const bool ascii = first < 0x80;
    expect_sequence(decode_utf8(one.hold(std::string_view(&lead, 1))),
                    ascii ? first : kReplacementCharacter, 1, ascii, std::string(1, lead));
    for (unsigned second = 0; second < 0x100; ++second) {
      const char bytes[] = {lead, static_cast<char>(second)};
      const std::string_view input(bytes, 2);
      const unsigned pair = first * 0x100 + second;
      const Utf8Sequence got = decode_utf8(two.hold(input));
      if (ascii) {
        expect_sequence(got, first, 1, true, input);
      } else if (whole[pair] != kNone) {
        expect_sequence(got, whole[pair], 2, true, input);
      } else {
        expect_sequence(got, kReplacementCharacter, starts_longer[pair] ? 2 : 1, false, input);
      }
      if (testing::Test::HasFailure()) return;
    }
  }
}

TEST(Utf8ChunkLength, NeverEndsInsideASequence) {
  const std::string a4095(4095, 'a');
  const std::string a4094(4094, 'a');
  const std::string a4093(4093, 'a');
  const std::string a4092(4092, 'a');
  struct Case {
    const char* name;
    std::string text;
    std::size_t length;
  };
  const Case cases[] = {
      {"short text whole", "abc\xe2\x82\xac", 6},
      {"exactly the limit", std::string(4096, 'a'), 4096},
      {"ASCII over the limit", std::string(5000, 'a'), 4096},
      {"two-byte across the cut", a4095 + "\xc3\xa9" + "tail", 4095},
      {"two-byte ending at the cut", a4094 + "\xc3\xa9" + "tail", 4096},
      {"three-byte, one byte before", a4095 + "\xe2\x82\xac" + "t", 4095},
      {"three-byte, two bytes before", a4094 + "\xe2\x82\xac" + "t", 4094},
      {"three-byte ending at the cut", a4093 + "\xe2\x82\xac" + "t", 4096},
      {"four-byte, one byte before", a4095 + "\xf0\x9f\x98\x80" + "t", 4095},
      {"four-byte, three bytes before", a4093 + "\xf0\x9f\x98\x80" + "t", 4093},
      {"four-byte ending at the cut", a4092 + "\xf0\x9f\x98\x80" + "t", 4096},
      {"stray continuation bytes", a4092 + std::string(8, '\x80'), 4096},
      {"truncated lead before the cut", a4095 + "\xe2" + "abc", 4096},
      {"truncated sequence across the cut", a4095 + "\xe2\x82" + "abc", 4095},
      {"byte that leads nothing before the cut", a4095 + "\xc0\x80", 4096},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_chunk_length(c.text, 4096), c.length) << c.name;
  }
}

TEST(Utf8ToUtf16, ConvertsAndReplacesIllFormedSequences) {
  struct Case {
    const char* name;
    std::string text;
    std::u16string wide;
  };
  const Case cases[] = {
      {"empty", "", u""},
      {"ASCII with a line feed", "Connected to server\n", u"Connected to server\n"},
      {"two and three bytes", "\xc3\xa9\xe2\x82\xac", u"\u00e9\u20ac"},
      {"largest of each length", "\x7f\xdf\xbf\xef\xbf\xbf\xf4\x8f\xbf\xbf",
       u"\u007f\u07ff\uffff\U0010ffff"},
      {"four bytes give a pair", "a\xf0\x9f\x98\x80z", u"a\xd83d\xde00z"},
      {"lone continuation", "a\x80z", u"a\ufffdz"},
      {"overlong two bytes", "\xc0\xaf", u"\ufffd\ufffd"},
      {"truncated three bytes", "\xe2\x82z", u"\ufffdz"},
      {"truncated at the end", "a\xf0\x9f\x98", u"a\ufffd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_to_utf16(c.text), c.wide) << c.name;
  }
}

TEST(Utf8LengthOfUnits, CountsACharacterFromItsFirstUnit) {
  const std::string text = "a\xf0\x9f\x98\x80\xc3\xa9z";  // a, U+1F600, U+00E9, z
  const std::size_t expected[] = {0, 1, 5, 5, 7, 8, 8};
  for (std::size_t units = 0; units < std::size(expected); ++units) {
    EXPECT_EQ(utf8_length_of_units(text, units), expected[units]) << units << " units";
  }
}

TEST(Utf16ToUtf8, ConvertsValidUnits) {
  struct Case {
    std::u16string units;
    std::string utf8;
  };
  const Case cases[] = {
      {u"", ""},
      {u"Access is denied.\r\n", "Access is denied.\r\n"},
      {u"caf\u00e9 \u20ac", "caf\u00e9 \u20ac"},
      {u"\U0001F600", "\U0001F600"},
      {u"\U00010000\U0010FFFF", "\U00010000\U0010FFFF"},
      {u"\uFFFF\u0800\u07FF\u0080\u007F", "\uFFFF\u0800\u07FF\u0080\u007F"},
      {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf16_to_utf8(c.units), c.utf8);
  }
}

TEST(Utf16ToUtf8, RefusesUnpairedSurrogates) {
  const std::u16string cases[] = {
      {u'a', char16_t(0xD800)},                    // high at the end
      {char16_t(0xDC00), u'a'},                    // low alone
      {char16_t(0xD83D), u'a', char16_t(0xDE00)},  // high then not low
      {char16_t(0xDE00), char16_t(0xD83D)},        // reversed pair
      {char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)},
      {char16_t(0xDFFF)},
  };
  for (const std::u16string& units : cases) EXPECT_FALSE(utf16_to_utf8(units).has_value());
  // A high surrogate that ends the text, though a low one follows in memory.
  const std::u16string pair = u"\U0001F600";
  EXPECT_FALSE(utf16_to_utf8(std::u16string_view(pair).substr(0, 1)).has_value());
}

TEST(ToValidUtf8, KeepsValidTextAndReplacesEachMaximalBadPart) {
  struct Case {
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"Connection refused", "Connection refused"},
      {"caf\u00e9 \U0001F600", "caf\u00e9 \U0001F600"},
      {"caf\xe9", "caf\ufffd"},      // Latin-1 byte
      {"\xc3", "\ufffd"},            // truncated at the end
      {"\xe2\x82x", "\ufffdx"},      // truncated in the middle: one U+FFFD
      {"\xc0\xaf", "\ufffd\ufffd"},  // overlong: no valid lead
  };
  for (const Case& c : cases) EXPECT_EQ(to_valid_utf8(c.bytes), c.text);
}

}  // namespace
}  // namespace fc
