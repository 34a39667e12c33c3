#include "console/console_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/fake_console_testing.h"
#include "debug_text/utf.h"

namespace fc {
namespace {

TEST(ConsoleWriter, ShortTextIsOneCall) {
  FakeConsoleDevice device;
  Result<std::size_t> written = device.write_some("Sent JSON: \xc3\xa9\n");
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, 14u);
  ASSERT_EQ(device.console.offered.size(), 1u);
  EXPECT_EQ(device.console.offered[0], u"Sent JSON: \u00e9\n");
}

TEST(ConsoleWriter, LongTextGoesInPiecesAtCharacterBoundaries) {
  // Mixed widths, so that cuts fall at every offset within a sequence.
  std::string text;
  for (int i = 0; text.size() < 20000; ++i) {
    text += "x\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80" + std::string(i % 5, 'y');
  }
  for (std::size_t per_call : {SIZE_MAX, std::size_t{1000}, std::size_t{3}}) {
    SCOPED_TRACE(per_call);
    FakeConsoleDevice device;
    device.console.per_call = per_call;
    std::string_view rest = text;
    while (!rest.empty()) {
      Result<std::size_t> written = device.write_some(rest);
      ASSERT_TRUE(written.has_value());
      EXPECT_LE(*written, kConsoleChunkBytes);
      // Only a split sequence is held back, so a piece is never much short.
      if (*written < rest.size()) {
        EXPECT_GE(*written, kConsoleChunkBytes - 3);
      }
      rest.remove_prefix(*written);
    }
    EXPECT_GE(device.console.offered.size(), 5u);
    EXPECT_EQ(device.console.shown, utf8_to_utf16(text)) << "nothing lost, doubled or replaced";
  }
}

// A console that stops partway: what it showed counts as taken, and the stop
// comes with the next write, whether it was an error or a write that took
// nothing; the console is asked again only after that.
TEST(ConsoleWriter, AStopComesAfterWhatWasShown) {
  const std::string text = "abc\xf0\x9f\x98\x80" "def";  // 10 bytes, 8 units
  struct Case {
    const char* name;
    std::size_t per_call;
    bool fails;  // or takes nothing
    std::size_t taken;
    std::u16string shown;
  };
  const Case cases[] = {
      {"fails after whole characters", 3, true, 3, u"abc"},
      {"fails after half a character", 4, true, 7, u"abc\xd83d"},
      {"stalls after half a character", 4, false, 7, u"abc\xd83d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeConsoleDevice device;
    device.console.per_call = c.per_call;
    (c.fails ? device.console.fail_at : device.console.stall_at) = 1;
    Result<std::size_t> first = device.write_some(text);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, c.taken);
    EXPECT_EQ(device.console.shown, c.shown);
    Result<std::size_t> second = device.write_some(std::string_view(text).substr(c.taken));
    EXPECT_EQ(device.console.offered.size(), 2u) << "the stop is not asked of the console";
    if (c.fails) {
      ASSERT_FALSE(second.has_value());
      EXPECT_EQ(second.error().os_code(), 5);
    } else {
      EXPECT_EQ(second, 0u);
    }
  }
}

TEST(ConsoleWriter, NothingShownIsTheStopItself) {
  FakeConsoleDevice failing;
  failing.console.fail_at = 0;
  Result<std::size_t> written = failing.write_some("abc");
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(written.error().os_code(), 5);

  FakeConsoleDevice stalled;
  stalled.console.per_call = 0;
  EXPECT_EQ(stalled.write_some("abc"), 0u) << "a console that takes nothing is reported as such";
}

}  // namespace
}  // namespace fc
