#include "error/windows_message.h"

#include <gtest/gtest.h>

#include <string>

#include "debug_text/quoted.h"
#include "debug_text/text_sink.h"

namespace fc {
namespace {

TEST(WindowsMessageLookup, PlansTheNumberFlagsAndModule) {
  struct Case {
    std::int32_t code;
    bool ntdll_loaded;
    std::uint32_t number;
    std::uint32_t flags;
    bool from_ntdll;
  };
  const Case cases[] = {
      {10061, true, 10061, 0x1200, false},
      {5, false, 5, 0x1200, false},
      // Bit 28: NTDLL.DLL's table with the bit cleared, when the module is there.
      {268435461, true, 5, 0x1A00, true},
      {268435461, false, 268435461, 0x1200, false},
      // Negative codes are passed as their 32 bits.
      {-2147024891, true, 2147942405u, 0x1200, false},
      {-1, true, 0xEFFFFFFFu, 0x1A00, true},
      {0x10000000, true, 0, 0x1A00, true},
      {0, true, 0, 0x1200, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    MessageLookup lookup = plan_message_lookup(c.code, c.ntdll_loaded);
    EXPECT_EQ(lookup.number, c.number);
    EXPECT_EQ(lookup.flags, c.flags);
    EXPECT_EQ(lookup.from_ntdll, c.from_ntdll);
    EXPECT_EQ(wants_ntdll(c.code), (static_cast<std::uint32_t>(c.code) & 0x10000000) != 0);
  }
}

TEST(WindowsMessageLookup, FailureTextShowsSignedNumbers) {
  EXPECT_EQ(lookup_failed_text(5, 317), "OS Error 5 (FormatMessageW() returned error 317)");
  EXPECT_EQ(lookup_failed_text(2147942405u, 1815),
            "OS Error -2147024891 (FormatMessageW() returned error 1815)");
  EXPECT_EQ(lookup_failed_text(268435461, 0xFFFFFFFFu),
            "OS Error 268435461 (FormatMessageW() returned error -1)");
}

TEST(WindowsMessageLookup, UnitsBecomeTrimmedUtf8) {
  struct Case {
    std::u16string units;
    std::string text;
  };
  const Case cases[] = {
      {u"No connection could be made because the target machine actively refused it.\r\n",
       "No connection could be made because the target machine actively refused it."},
      {u"Line one.\r\nLine two. \t\u00a0\u3000\r\n", "Line one.\r\nLine two."},
      {u" \r\n", ""},
      {u"", ""},
      {u"Acc\u00e8s refus\u00e9.\r\n", "Acc\u00e8s refus\u00e9."},
  };
  for (const Case& c : cases) EXPECT_EQ(message_from_units(10061, c.units), c.text);
}

TEST(WindowsMessageLookup, TrimmedTextInItsQuotedForm) {
  struct Case {
    std::u16string units;
    std::string quoted;
  };
  const Case cases[] = {
      {u"Line one.\r\nLine two.\r\n", "\"Line one.\\r\\nLine two.\""},
      {u"Refused. \t\u00a0\u3000\r\n", "\"Refused.\""},
      {u"\r\n \u3000", "\"\""},
  };
  for (const Case& c : cases) {
    StringSink sink;
    write_quoted(message_from_units(10061, c.units), sink);
    EXPECT_EQ(sink.text(), c.quoted);
  }
}

TEST(WindowsMessageLookup, UnpairedSurrogateGivesTheFallback) {
  std::u16string units = u"bad ";
  units.push_back(char16_t(0xD800));
  units += u"\r\n";
  EXPECT_EQ(message_from_units(5, units), "OS Error 5 (FormatMessageW() returned invalid UTF-16)");
  EXPECT_EQ(message_from_units(2147942405u, std::u16string(1, char16_t(0xDC00))),
            "OS Error -2147024891 (FormatMessageW() returned invalid UTF-16)");
}

TEST(WindowsMessageLookup, NeverReadsPastTheBuffer) {
  // A count above the buffer size (2048 units) is cut to the buffer: the
  // unpaired surrogate just past it is never read.
  std::u16string units(2058, u'x');
  units[2048] = char16_t(0xD800);
  EXPECT_EQ(message_from_units(1, units), std::string(2048, 'x'));
}

}  // namespace
}  // namespace fc
