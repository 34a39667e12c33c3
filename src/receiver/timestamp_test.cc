#include "receiver/timestamp.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace fc::receiver {
namespace {

constexpr std::int64_t kSecond = 1000000;

std::string text_of(std::int64_t micros) {
  std::string text(kUtcTimeLength + 1, '?');
  format_utc_micros(micros, text.data());
  EXPECT_EQ(text.back(), '?') << "wrote past the text";
  text.pop_back();
  return text;
}

std::chrono::system_clock::time_point time_of(std::int64_t micros) {
  return std::chrono::system_clock::time_point(std::chrono::microseconds(micros));
}

// The years' ends, leap days, and times outside 1970 to 9999 held at them.
TEST(FormatUtcTime, Table) {
  struct Case {
    std::int64_t micros;
    std::string_view text;
  };
  const Case cases[] = {
      {0, "1970-01-01T00:00:00.000000Z"},
      {-1, "1970-01-01T00:00:00.000000Z"},
      {std::numeric_limits<std::int64_t>::min(), "1970-01-01T00:00:00.000000Z"},
      {1, "1970-01-01T00:00:00.000001Z"},
      {94694399 * kSecond + 999999, "1972-12-31T23:59:59.999999Z"},
      {951782399 * kSecond, "2000-02-28T23:59:59.000000Z"},
      {951782400 * kSecond, "2000-02-29T00:00:00.000000Z"},
      {4107546000 * kSecond, "2100-03-01T01:00:00.000000Z"},
      {1796875506 * kSecond + 123456, "2026-12-10T04:05:06.123456Z"},
      {253402300800 * kSecond - 1, "9999-12-31T23:59:59.999999Z"},
      {253402300800 * kSecond, "9999-12-31T23:59:59.999999Z"},
      {std::numeric_limits<std::int64_t>::max(), "9999-12-31T23:59:59.999999Z"},
  };
  for (const Case& c : cases) EXPECT_EQ(text_of(c.micros), c.text) << c.micros;
}

// The clock's ticks below a microsecond are cut, before 1970 too; the
// formatter that keeps its last second writes what format_utc_time writes,
// as times go forward, stay within a second and go back.
TEST(FormatUtcTime, ClockTimesAndTheFormatter) {
  using std::chrono::nanoseconds;
  const std::chrono::system_clock::time_point times[] = {
      time_of(1796875506 * kSecond) - nanoseconds(1),
      time_of(1796875506 * kSecond),
      time_of(1796875506 * kSecond + 999999) + nanoseconds(999),
      time_of(1796875507 * kSecond),
      time_of(1796875505 * kSecond + 1),
      time_of(-1),
  };
  const std::string_view texts[] = {
      "2026-12-10T04:05:05.999999Z", "2026-12-10T04:05:06.000000Z", "2026-12-10T04:05:06.999999Z",
      "2026-12-10T04:05:07.000000Z", "2026-12-10T04:05:05.000001Z", "1970-01-01T00:00:00.000000Z",
  };
  UtcTimeFormatter formatter;
  for (std::size_t i = 0; i < std::size(times); ++i) {
    std::string plain(kUtcTimeLength, '?');
    std::string kept(kUtcTimeLength, '?');
    format_utc_time(times[i], plain.data());
    formatter.format(times[i], kept.data());
    EXPECT_EQ(plain, texts[i]);
    EXPECT_EQ(kept, texts[i]);
  }
}

}  // namespace
}  // namespace fc::receiver
