#include "error/message_text.h"

#include <gtest/gtest.h>

#include <string>

namespace fc {
namespace {

TEST(TrimTrailingWhiteSpace, RemovesOnlyTheEnd) {
  struct Case {
    std::string text;
    std::string trimmed;
  };
  const Case cases[] = {
      {"No connection could be made.\r\n", "No connection could be made."},
      {"first line\r\nsecond line\r\n", "first line\r\nsecond line"},
      {"  leading stays \t \n", "  leading stays"},
      {"tabs\t\t", "tabs"},
      {"nbsp\u00a0", "nbsp"},
      {"ideographic\u3000", "ideographic"},
      {"mixed \u00a0\u3000\u2028\u2029\u205f\u202f\u1680\u0085\v\f\r\n", "mixed"},
      {"en\u2000em\u2001 thin\u2009hair\u200a", "en\u2000em\u2001 thin\u2009hair"},
      {" \t\r\n\u00a0\u3000", ""},
      {"", ""},
      {"x", "x"},
      // Look-alikes without White_Space stay: zero width space, BOM, U+180E,
      // U+200B, next to a kept NUL.
      {"a\u200b", "a\u200b"},
      {"a\ufeff", "a\ufeff"},
      {"a\u180e", "a\u180e"},
      {std::string("a\0", 2), std::string("a\0", 2)},
      {"caf\u00e9 ", "caf\u00e9"},
      {"\U0001F600\n", "\U0001F600"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    trim_trailing_white_space(text);
    EXPECT_EQ(text, c.trimmed) << c.text;
  }
}

TEST(TrimTrailingWhiteSpace, StopsAtAMalformedTail) {
  // Never reached with valid text; must not read outside it or loop.
  std::string text = "a \x85";  // a lone continuation byte, not U+0085
  trim_trailing_white_space(text);
  EXPECT_EQ(text, "a \x85");
  text = "\xa0\xa0\xa0\xa0\xa0";
  trim_trailing_white_space(text);
  EXPECT_EQ(text, "\xa0\xa0\xa0\xa0\xa0");
}

TEST(WhiteSpace, ExactlyTheListedCodePoints) {
  const char32_t white[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,  0x1680,
                            0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (char32_t c : white) EXPECT_TRUE(is_white_space(c)) << std::hex << +c;
  const char32_t other[] = {0x08,   0x0E,   0x1F,   0x21,   0x84,   0x86,   0x9F,   0xA1,   0x180E,
                            0x1FFF, 0x200B, 0x2027, 0x202A, 0x205E, 0x2060, 0x2FFF, 0x3001, 0xFEFF};
  for (char32_t c : other) EXPECT_FALSE(is_white_space(c)) << std::hex << +c;
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
