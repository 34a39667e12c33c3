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

}  // namespace
}  // namespace fc
