#include "console/console_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fc {
namespace {

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
    EXPECT_EQ(utf8_chunk_length(c.text), c.length) << c.name;
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

TEST(Utf8LengthOfUnits, CountsWholeCharactersOnly) {
  const std::string text = "a\xf0\x9f\x98\x80\xc3\xa9z";  // a, U+1F600, U+00E9, z
  const std::size_t expected[] = {0, 1, 1, 5, 7, 8, 8};
  for (std::size_t units = 0; units < std::size(expected); ++units) {
    EXPECT_EQ(utf8_length_of_units(text, units), expected[units]) << units << " units";
  }
}

// Records what it is given; takes at most `per_call` units a call. Call
// number `fail_at` (counting from 0) fails and call number `stall_at` takes
// nothing; the calls after them work again, as a console that recovers would.
class FakeConsole final : public WideConsole {
 public:
  std::size_t per_call = SIZE_MAX;
  std::size_t fail_at = SIZE_MAX;
  std::size_t stall_at = SIZE_MAX;
  std::vector<std::u16string> offered;
  std::u16string shown;

  Result<std::size_t> write_units(std::u16string_view units) override {
    offered.emplace_back(units);
    if (offered.size() == fail_at + 1) return std::unexpected(IoError::from_os_code(6));
    std::size_t taken = offered.size() == stall_at + 1 ? 0 : std::min(units.size(), per_call);
    shown.append(units.substr(0, taken));
    return taken;
  }
};

TEST(WriteConsoleText, ShortTextIsOneCall) {
  FakeConsole console;
  Result<std::size_t> written = write_console_text("Sent JSON: \xc3\xa9\n", console);
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, 14u);
  ASSERT_EQ(console.offered.size(), 1u);
  EXPECT_EQ(console.offered[0], u"Sent JSON: \u00e9\n");
}

// Writes the whole text the way write_all does, stopping at an error or at a
// write that took nothing; returns the byte counts.
std::vector<std::size_t> write_everything(std::string_view text, FakeConsole& console,
                                          Status* stopped_by = nullptr) {
  std::vector<std::size_t> counts;
  while (!text.empty()) {
    Result<std::size_t> written = write_console_text(text, console);
    if (!written && stopped_by != nullptr) *stopped_by = std::move(written.error());
    if (!written || *written == 0) break;
    counts.push_back(*written);
    text.remove_prefix(*written);
  }
  return counts;
}

TEST(WriteConsoleText, LongTextGoesInPiecesAtCharacterBoundaries) {
  // Mixed widths, so that cuts fall at every offset within a sequence.
  std::string text;
  for (int i = 0; text.size() < 20000; ++i) {
    text += "x\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80" + std::string(i % 5, 'y');
  }
  for (std::size_t per_call : {SIZE_MAX, std::size_t{1000}, std::size_t{3}}) {
    SCOPED_TRACE(per_call);
    FakeConsole console;
    console.per_call = per_call;
    std::vector<std::size_t> counts = write_everything(text, console);
    std::size_t total = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
      EXPECT_LE(counts[i], kConsoleChunkBytes);
      if (i + 1 < counts.size()) {
        EXPECT_GE(counts[i], kConsoleChunkBytes - 3) << "only a split sequence is held back";
      }
      total += counts[i];
    }
    EXPECT_EQ(total, text.size());
    EXPECT_GE(counts.size(), 5u);
    EXPECT_EQ(console.shown, utf8_to_utf16(text)) << "nothing lost, doubled or replaced";
  }
}

TEST(WriteConsoleText, FailuresAndRefusals) {
  const std::string text = "abc\xf0\x9f\x98\x80" "def";  // 10 bytes, 8 units
  {
    FakeConsole console;
    console.fail_at = 0;
    Result<std::size_t> written = write_console_text(text, console);
    ASSERT_FALSE(written.has_value()) << "nothing written: the error itself";
    EXPECT_EQ(written.error().os_code(), 6);
  }
  {
    FakeConsole console;
    console.per_call = 3;
    console.fail_at = 1;
    Result<std::size_t> written = write_console_text(text, console);
    ASSERT_TRUE(written.has_value()) << "the progress first, the error on the next write";
    EXPECT_EQ(*written, 3u);
  }
  for (bool fails : {true, false}) {
    SCOPED_TRACE(fails ? "fails" : "takes nothing");
    FakeConsole console;
    console.per_call = 4;  // half of the surrogate pair
    if (fails) {
      console.fail_at = 1;
    } else {
      console.stall_at = 1;
    }
    Status stopped_by;
    std::vector<std::size_t> counts = write_everything(text, console, &stopped_by);
    EXPECT_EQ(console.shown, u"abc\xd83d") << "the first half shown once, never again";
    EXPECT_TRUE(counts.empty()) << "no count describes half a character";
    ASSERT_FALSE(stopped_by.ok());
    if (fails) {
      EXPECT_EQ(stopped_by.error().os_code(), 6);
    } else {
      EXPECT_EQ(stopped_by.error().kind(), ErrorKind::WriteZero);
    }
  }
  {
    FakeConsole console;
    console.per_call = 0;
    Result<std::size_t> written = write_console_text(text, console);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, 0u) << "a console that takes nothing is reported as such";
  }
}

}  // namespace
}  // namespace fc
