#include "receiver/timestamp.h"

#include <algorithm>
#include <cstring>
#include <ratio>

namespace fc::receiver {
namespace {

constexpr std::int64_t kMicrosPerSecond = 1000000;
constexpr std::int64_t kSecondsPerDay = 86400;
// 9999-12-31T23:59:59.999999Z.
constexpr std::int64_t kLastMicros = 253402300800 * kMicrosPerSecond - 1;

// Every time the clock holds fits in 64-bit microseconds, as they are no
// finer than its ticks.
static_assert(std::ratio_less_equal_v<std::chrono::system_clock::period, std::micro>);

// The time's microseconds since 1970, within the years that can be written.
std::int64_t clamped_micros(std::int64_t micros) {
  return std::clamp<std::int64_t>(micros, 0, kLastMicros);
}

std::int64_t micros_of(std::chrono::system_clock::time_point t) {
  return std::chrono::floor<std::chrono::microseconds>(t.time_since_epoch()).count();
}

// Writes the `count` lowest decimal digits of `value` at `out`.
void write_digits(std::uint32_t value, int count, char* out) {
  for (int i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// Writes the 20 chars "YYYY-MM-DDTHH:MM:SS." of `second`, from 0 to the
// last of 9999.
void write_second(std::int64_t second, char* out) {
  using namespace std::chrono;
  const std::int64_t day = second / kSecondsPerDay;
  const auto time_of_day = static_cast<std::uint32_t>(second % kSecondsPerDay);
  const year_month_day date{sys_days{days{day}}};
  write_digits(static_cast<std::uint32_t>(static_cast<int>(date.year())), 4, out);
  out[4] = '-';
  write_digits(static_cast<unsigned>(date.month()), 2, out + 5);
  out[7] = '-';
  write_digits(static_cast<unsigned>(date.day()), 2, out + 8);
  out[10] = 'T';
  write_digits(time_of_day / 3600, 2, out + 11);
  out[13] = ':';
  write_digits(time_of_day / 60 % 60, 2, out + 14);
  out[16] = ':';
  write_digits(time_of_day % 60, 2, out + 17);
  out[19] = '.';
}

// Writes the fraction and the zone after "YYYY-MM-DDTHH:MM:SS.".
void write_fraction(std::int64_t micros, char* out) {
  write_digits(static_cast<std::uint32_t>(micros % kMicrosPerSecond), 6, out + 20);
  out[26] = 'Z';
}

}  // namespace

void format_utc_micros(std::int64_t micros, char* out) {
  micros = clamped_micros(micros);
  write_second(micros / kMicrosPerSecond, out);
  write_fraction(micros, out);
}

void format_utc_time(std::chrono::system_clock::time_point t, char* out) {
  format_utc_micros(micros_of(t), out);
}

void UtcTimeFormatter::format(std::chrono::system_clock::time_point t, char* out) {
  const std::int64_t micros = clamped_micros(micros_of(t));
  const std::int64_t second = micros / kMicrosPerSecond;
  if (second != second_) {
    write_second(second, second_text_);
    second_ = second;
  }
  std::memcpy(out, second_text_, sizeof second_text_);
  write_fraction(micros, out);
}

}  // namespace fc::receiver
