#include "debug_text/quoted.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "debug_text/unicode_classes.h"
#include "debug_text/utf.h"

namespace fc {
namespace {

using testing::ElementsAre;

std::string form_of(std::string_view text) {
  StringSink sink;
  write_quoted(text, sink);
  return sink.take();
}

// Quotes from a heap block of exactly the text's bytes, so that the address
// sanitizer catches any read past its end.
std::string form_of_exact(std::string_view text) {
  auto block = std::make_unique<char[]>(text.size());
  std::memcpy(block.get(), text.data(), text.size());
  return form_of(std::string_view(block.get(), text.size()));
}

// Keeps every piece it is given; refuses the piece numbered `fail_at` (from
// 1) and counts every piece offered.
class PieceSink final : public TextSink {
 public:
  explicit PieceSink(std::size_t fail_at = 0) : fail_at_(fail_at) {}

  const std::vector<std::string>& pieces() const { return pieces_; }
  std::size_t writes() const { return writes_; }

 private:
  bool put(std::string_view piece) override {
    ++writes_;
    if (writes_ == fail_at_) return false;
    pieces_.emplace_back(piece);
    return true;
  }

  std::size_t fail_at_;
  std::size_t writes_ = 0;
  std::vector<std::string> pieces_;
};

TEST(WriteQuoted, EdgeCases) {
  struct Case {
    std::string_view text;
    std::string_view form;
  };
  const Case cases[] = {
      {"", R"("")"},
      {"3", R"("3")"},
      {"split", R"("split")"},
      {"it's", R"("it's")"},
      {"say \"hi\"", R"("say \"hi\"")"},
      {"C:\\dir", R"("C:\\dir")"},
      {"a\tb", R"("a\tb")"},
      {"line\r\nnext\n", R"("line\r\nnext\n")"},
      {std::string_view("a\0b", 3), R"("a\0b")"},
      {"\x01", R"("\u{1}")"},
      {"\x1b[0m", R"("\u{1b}[0m")"},
      {"\x7f", R"("\u{7f}")"},
      {"\u0080", R"("\u{80}")"},
      {"\u00a0", R"("\u{a0}")"},
      {"\u00ad", R"("\u{ad}")"},
      {"caf\u00e9", "\"caf\u00e9\""},
      {"e\u0301", R"("e\u{301}")"},
      {"\u0301", R"("\u{301}")"},
      {"\u0378", R"("\u{378}")"},
      {"a\u200bb", R"("a\u{200b}b")"},
      {"\u2028", R"("\u{2028}")"},
      {"\u3000", R"("\u{3000}")"},
      {"\ufeff", R"("\u{feff}")"},
      {"\U0001f600", "\"\U0001f600\""},
      {"\U000e0020", R"("\u{e0020}")"},
      {"\U000e0100", R"("\u{e0100}")"},
      {"\U0010ffff", R"("\u{10ffff}")"},
      {"\u4e2d\u6587 text", "\"\u4e2d\u6587 text\""},
  };
  for (const Case& c : cases) EXPECT_EQ(form_of(c.text), c.form) << c.text;
}

TEST(WriteQuoted, TextWithoutEscapesIsThreeWrites) {
  const std::string_view texts[] = {
      "3",
      "split",
      "it's a plain sentence, longer than one eight-byte word",
      "na\u00efve \u4e2d\u6587 \U0001f600 \u00e9\u00e9\u00e9",
  };
  for (std::string_view text : texts) {
    PieceSink sink;
    write_quoted(text, sink);
    EXPECT_THAT(sink.pieces(), ElementsAre("\"", std::string(text), "\"")) << text;
  }
}

TEST(WriteQuoted, RunsAndEscapesArePiecesOfTheirOwn) {
  PieceSink sink;
  write_quoted("ab\t\"c\u00e9\u0301", sink);
  EXPECT_THAT(sink.pieces(), ElementsAre("\"", "ab", "\\t", "\\\"", "c\u00e9", "\\u{301}", "\""));
  PieceSink empty;
  write_quoted("", empty);
  EXPECT_THAT(empty.pieces(), ElementsAre("\"", "\""));
}

TEST(WriteQuoted, StopsAtTheFirstFailedWrite) {
  const std::string_view texts[] = {"", "split", "a\nb", "\t\t", "x\u0301y\u200b"};
  for (std::string_view text : texts) {
    PieceSink whole;
    write_quoted(text, whole);
    for (std::size_t fail_at = 1; fail_at <= whole.writes(); ++fail_at) {
      PieceSink sink(fail_at);
      write_quoted(text, sink);
      EXPECT_TRUE(sink.refused()) << text << " failing write " << fail_at;
      EXPECT_EQ(sink.writes(), fail_at) << text << ": wrote on after the failure";
    }
  }
}

// What a lone byte comes out as. A byte from 0x80 on is not UTF-8 on its own
// and is escaped as itself.
std::string form_of_byte(unsigned char value) {
  const std::string_view kNamed[][2] = {{std::string_view("\0", 1), "\\0"},
                                        {"\t", "\\t"},
                                        {"\n", "\\n"},
                                        {"\r", "\\r"},
                                        {"\"", "\\\""},
                                        {"\\", "\\\\"}};
  for (const auto& named : kNamed) {
    if (named[0][0] == static_cast<char>(value)) return std::string(named[1]);
  }
  if (value >= 0x20 && value < 0x7F) return std::string(1, static_cast<char>(value));
  char hex[16];
  (void)std::snprintf(hex, sizeof hex, "\\u{%x}", static_cast<unsigned>(value));
  return hex;
}

// One byte at every place of a plain text of `length` bytes.
void expect_byte_at_every_place(unsigned char value, std::size_t length) {
  for (std::size_t place = 0; place < length; ++place) {
    std::string text(length, 'a');
    text[place] = static_cast<char>(value);
    std::string expected(1, '"');
    expected.append(place, 'a').append(form_of_byte(value));
    expected.append(length - 1 - place, 'a').push_back('"');
    ASSERT_EQ(form_of_exact(text), expected) << "byte " << int{value} << " at " << place;
  }
}

// Every byte value in every lane of the eight-byte scan and in the byte-wise
// tail.
TEST(WriteQuoted, EveryByteAtEveryPlaceOfAShortText) {
  for (int value = 0; value < 256; ++value) {
    expect_byte_at_every_place(static_cast<unsigned char>(value), 21);
  }
}

// The bytes at the edges of the plain range, at every place of a text long
// enough for the block scan: first word, blocks, the words after a block, tail.
TEST(WriteQuoted, EdgeBytesAtEveryPlaceOfALongText) {
  const unsigned char values[] = {0x00, 0x1F, 0x20, '"', '\'', '\\', 0x7E, 0x7F, 0x80, 0xFF};
  for (unsigned char value : values) expect_byte_at_every_place(value, 300);
}

TEST(WriteQuoted, MalformedInputEscapesEachBadByte) {
  struct Case {
    std::string_view text;
    std::string_view form;
  };
  const Case cases[] = {
      {"\xff", R"("\u{ff}")"},
      {"ok\xc3", R"("ok\u{c3}")"},
      {"\xe2\x82", R"("\u{e2}\u{82}")"},
      {"abcdefgh\xf0\x9f\x98", R"("abcdefgh\u{f0}\u{9f}\u{98}")"},
      {"\xc0\xaf", R"("\u{c0}\u{af}")"},
      {"\xed\xa0\x80", R"("\u{ed}\u{a0}\u{80}")"},
      {"\xf4\x90\x80\x80", R"("\u{f4}\u{90}\u{80}\u{80}")"},
      {"\xe2\x28\xa1", R"("\u{e2}(\u{a1}")"},
      {"\xc3\xa9\xa9", "\"\u00e9\\u{a9}\""},
  };
  for (const Case& c : cases) EXPECT_EQ(form_of_exact(c.text), c.form);
}

// Reads a quoted form back into the text it shows, checking that only the
// characters that must be escaped were.
std::string unquote(std::string_view form) {
  std::string text;
  EXPECT_TRUE(form.size() >= 2 && form.front() == '"' && form.back() == '"');
  for (std::size_t i = 1; i + 1 < form.size(); ++i) {
    char c = form[i];
    if (c != '\\') {
      EXPECT_NE(c, '"') << "bare quote at " << i;
      text += c;
      continue;
    }
    char kind = form[++i];
    if (kind == 'u') {
      std::size_t close = form.find('}', i);
      std::string digits(form.substr(i + 2, close - i - 2));
      EXPECT_TRUE(digits.size() == 1 || digits[0] != '0') << "leading zero in " << digits;
      auto cp = static_cast<char32_t>(std::stoul(digits, nullptr, 16));
      EXPECT_TRUE(!is_printable(cp) || (cp >= 0x300 && is_grapheme_extend(cp))) << digits;
      append_utf8(text, cp);
      i = close;
    } else {
      const std::string_view kinds = "0tnr\"\\";
      const std::string_view bytes("\0\t\n\r\"\\", 6);
      std::size_t at = kinds.find(kind);
      EXPECT_NE(at, std::string_view::npos) << "unknown escape " << kind;
      if (at != std::string_view::npos) text += bytes[at];
    }
  }
  return text;
}

// Random valid texts, weighted towards the characters that are escaped, come
// back whole from their quoted form.
TEST(WriteQuoted, RandomTextsReadBackWhole) {
  std::mt19937 random(20240916);
  const char32_t pool[] = {'a',    'Z',    ' ',    '\'',   '"',     '\\',    0,       '\t',
                           '\n',   0x1B,   0x7F,   0xA0,   0xE9,    0x301,   0x378,   0x200B,
                           0x2028, 0x4E2D, 0xFEFF, 0xFFFD, 0x1F600, 0xE0020, 0x10FFFF};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    std::size_t length = random() % 40;
    for (std::size_t i = 0; i < length; ++i) {
      char32_t cp = (random() % 3 == 0) ? pool[random() % std::size(pool)]
                                        : static_cast<char32_t>(random() % 0x110000);
      if (cp >= 0xD800 && cp <= 0xDFFF) cp = 'x';
      append_utf8(text, cp);
    }
    ASSERT_EQ(unquote(form_of(text)), text) << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace fc
