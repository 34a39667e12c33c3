#include "json/json_compact.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace fc {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// `depth` arrays and objects in turn, one inside the next, around `inner`.
std::string nested(std::size_t depth, std::string_view inner) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += i % 2 == 0 ? "[" : "{\"\":";
  text += inner;
  for (std::size_t i = depth; i-- > 0;) text += i % 2 == 0 ? ']' : '}';
  return text;
}

TEST(IsJsonText, Table) {
  struct Case {
    std::string text;
    bool json;
  };
  const Case cases[] = {
      {"", false},
      {" \t\n\r{ } \t\n\r", true},
      {"\f{}", false},
      {"{}\v", false},
      {"-0", true},
      {"-", false},
      {"01", false},
      {"+1", false},
      {".5", false},
      {"1.", false},
      {"1.5e+10", true},
      {"9E-0", true},
      {"1e+", false},
      {"[1:2]", false},
      {"[true,false,null]", true},
      {"true", true},
      {"[n]", false},
      {"\"\"", true},
      {"\"abcdefg", false},
      {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u09aF\"", true},
      {"\"\\a\"", false},
      {"\"\\a", false},  // a bad escape ending the text, after which no quote is due
      {"\"\\ug234\"", false},
      {"\"\\u123g\"", false},
      {"\"\\u12\"", false},
      {"\"\\u123", false},
      {"\"\\ud800\"", true},
      {std::string("\"\0\"", 3), false},
      {"\"\x1f\"", false},
      {"\"\x7f\xc2\x80\xdf\xbf\xed\x9f\xbf\xee\x80\x80\xf4\x8f\xbf\xbf \"", true},
      {"\"\x80\"", false},
      {"\"\xc1\xbf\"", false},
      {"\"\xed\xa0\x80\"", false},
      {"\"\xf4\x90\x80\x80\"", false},
      // Eight bytes at a time: each kind of byte inside a word.
      {"\"01234567 9abcdef\x7f\"", true},
      {"\"01234567\x1f" "9abcdef\"", false},
      {"\"0123456\xc3\xa9" "9abcdef\"", true},
      {"\"01234567\x80" "9abcdef\"", false},
      {"\"0123456\\n9abcdef\"", true},
      {"\"0123456\\x9abcdef\"", false},
      {"\"0123456\"9abcdef\"", false},
      {"{\"a\" : [ 1 , {\"b\":null} ] , \"c\" : 2 }", true},
      {"[", false},
      {"[1,]", false},
      {"[,1]", false},
      {"[1 2]", false},
      {"[1]]", false},
      {"[1][2]", false},
      {"[}", false},
      {"{\"a\":1]", false},
      {"{\"a\":1,}", false},
      {"{\"a\"1}", false},
      {"{\"a\"}", false},
      {"{1:2}", false},
      {"{1}", false},
      {nested(kJsonMaxDepth, "1"), true},
      {nested(kJsonMaxDepth - 1, "[]"), true},
      {nested(kJsonMaxDepth, "[]"), false},
      {nested(kJsonMaxDepth + 1, "1"), false},
      // One level too deep, closed one level short.
      {std::string(kJsonMaxDepth + 1, '[') + std::string(kJsonMaxDepth, ']'), false},
      {std::string(100000, '['), false},
  };
  for (const Case& c : cases) {
    // A copy of just the text, so that a read past its end is seen.
    const std::vector<std::uint8_t> bytes(c.text.begin(), c.text.end());
    EXPECT_EQ(is_json_text(bytes), c.json) << c.text.substr(0, 40);
  }
}

// Whole, in place, and cut in two at every point: the same text comes out.
TEST(JsonCompactor, DropsWhiteSpaceOutsideStrings) {
  struct Case {
    std::string_view in;
    std::string_view out;
  };
  const Case cases[] = {
      {"{}", "{}"},
      {" { \"a b\" : [ 1 ,\t2 ] }\r\n", "{\"a b\":[1,2]}"},
      {"\"\\\" x\"", "\"\\\" x\""},
      {"[\"\\\\\", \"\\\\\\\" \" ]", "[\"\\\\\",\"\\\\\\\" \"]"},
      {"[ \"a b c d e f g h \\\" i\" , \"j k\" ]", "[\"a b c d e f g h \\\" i\",\"j k\"]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    const bool dropped = c.in.size() != c.out.size();
    std::string in_place(c.in);
    JsonCompactor whole;
    in_place.resize(whole.compact(bytes_of(in_place), in_place.data()));
    EXPECT_EQ(in_place, c.out);
    EXPECT_EQ(whole.had_whitespace(), dropped);
    for (std::size_t cut = 0; cut <= c.in.size(); ++cut) {
      std::string out(c.in.size(), '?');
      JsonCompactor pieces;
      std::size_t size = pieces.compact(bytes_of(c.in.substr(0, cut)), out.data());
      size += pieces.compact(bytes_of(c.in.substr(cut)), out.data() + size);
      EXPECT_EQ(out.substr(0, size), c.out) << "cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace fc
