#ifndef FC_RECEIVER_TIMESTAMP_H_
#define FC_RECEIVER_TIMESTAMP_H_

#include <chrono>
#include <cstddef>
#include <cstdint>

// Times as RFC 3339 UTC text with microseconds: "2026-12-10T04:05:06.123456Z".

namespace fc::receiver {

/// The length of every time's text; no NUL follows it.
inline constexpr std::size_t kUtcTimeLength = 27;

/// Writes the time `micros` microseconds after 1970-01-01T00:00:00Z at `out`,
/// kUtcTimeLength chars. Times outside the years 1970 to 9999 are written as
/// the nearest time within them.
void format_utc_micros(std::int64_t micros, char* out);

/// Writes `t` at `out`, kUtcTimeLength chars, its fraction cut to whole
/// microseconds.
void format_utc_time(std::chrono::system_clock::time_point t, char* out);

/// Writes many times, mostly in order: the date and time of day are worked
/// out again only when the second changes.
class UtcTimeFormatter {
 public:
  /// As format_utc_time.
  void format(std::chrono::system_clock::time_point t, char* out);

 private:
  /// The length of "YYYY-MM-DDTHH:MM:SS.", the text up to the fraction.
  static constexpr std::size_t kSecondLength = 20;

  std::int64_t second_ = -1;  // none yet: a clamped second is never negative
  char second_text_[kSecondLength] = {};
};

}  // namespace fc::receiver

#endif  // FC_RECEIVER_TIMESTAMP_H_
