#include "receiver/line_output.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "json/json_escape.h"

namespace fc::receiver {
namespace {

// How a line shows each byte, padded to eight bytes so that it is copied in
// one move: the byte itself, or the JSON escape of a control byte or of 0x7F,
// which JSON itself leaves alone. A backslash and a quote are shown as they
// are.
struct Shown {
  std::array<std::array<char, 8>, 256> text{};
  std::array<std::uint8_t, 256> length{};
};

// The table for a line, or (`json_string`) for the inside of a JSON string,
// which escapes the quote and the backslash too.
constexpr Shown shown_table(bool json_string) {
  Shown shown;
  for (int byte = 0; byte < 256; ++byte) {
    auto b = static_cast<unsigned char>(byte);
    char letter = byte == 0x7f ? 'u' : byte < 0x20 || json_string ? kJsonEscapeLetters[b] : '\0';
    shown.text[b][0] = static_cast<char>(b);
    shown.length[b] =
        letter == 0 ? 1
                    : static_cast<std::uint8_t>(write_json_escape(b, letter, shown.text[b].data()));
  }
  return shown;
}

constexpr Shown kShown = shown_table(false);
constexpr Shown kShownInString = shown_table(true);

// A piece of n bytes takes at most six each, and the last one's eight-byte
// move may spill two more.
constexpr std::size_t kSpill = 8 - kLongestJsonEscape;

// Whether any of eight bytes is one of `byte`'s value (a zero byte of
// `eight ^ repeated byte`).
bool any_is(std::uint64_t eight, std::uint8_t byte) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kTops = 0x8080808080808080;
  std::uint64_t same = eight ^ (kOnes * byte);
  return ((same - kOnes) & ~same & kTops) != 0;
}

// Whether any of eight bytes is shown escaped: below 0x20, or 0x7F, and in
// a JSON string the quote and the backslash. Bytes of 0x80 and more never
// count (their top bit is masked off).
template <bool json_string>
bool any_escaped(std::uint64_t eight) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kTops = 0x8080808080808080;
  std::uint64_t below_space = (eight - kOnes * 0x20) & ~eight & kTops;
  if (below_space != 0 || any_is(eight, 0x7f)) return true;
  if constexpr (json_string) return any_is(eight, '"') || any_is(eight, '\\');
  return false;
}

// Writes one byte as `table` shows it.
char* show_byte(const Shown& table, std::uint8_t byte, char* out) {
  std::memcpy(out, table.text[byte].data(), 8);
  return out + table.length[byte];
}

// Writes the bytes at `out` as a line, or a JSON string, shows them; where
// the writing ended. Eight bytes at a time: in one move when none is
// escaped.
template <bool json_string = false>
char* show(std::span<const std::uint8_t> bytes, char* out) {
  const Shown& table = json_string ? kShownInString : kShown;
  std::size_t whole = bytes.size() / 8 * 8;
  for (std::size_t i = 0; i < whole; i += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, bytes.data() + i, 8);
    if (!any_escaped<json_string>(eight)) {
      std::memcpy(out, &eight, 8);
      out += 8;
      continue;
    }
    for (std::size_t k = i; k < i + 8; ++k) out = show_byte(table, bytes[k], out);
  }
  for (std::size_t k = whole; k < bytes.size(); ++k) out = show_byte(table, bytes[k], out);
  return out;
}

}  // namespace

std::string shown_text(std::string_view bytes) {
  std::string text(bytes.size() * kLongestJsonEscape + kSpill, '\0');
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  text.resize(static_cast<std::size_t>(show({data, bytes.size()}, text.data()) - text.data()));
  return text;
}

Status LineOutput::add_line(std::span<const std::uint8_t> payload) {
  if (Status status = put_shown<false>(payload); !status.ok()) return status;
  if (Status status = out_.write("\n"); !status.ok()) return failed(std::move(status), true);
  return {};
}

Status LineOutput::put(std::string_view text) {
  if (Status status = end_cut_line(); !status.ok()) return failed(std::move(status), false);
  if (Status status = out_.write(text); !status.ok()) return failed(std::move(status), true);
  return {};
}

Status LineOutput::put_json_string(std::span<const std::uint8_t> bytes) {
  return put_shown<true>(bytes);
}

// The bytes go in as pieces that fit the buffer even if every byte needs the
// longest escape; most payloads are one piece.
template <bool json_string>
Status LineOutput::put_shown(std::span<const std::uint8_t> bytes) {
  return put_encoded(bytes, 1, kLongestJsonEscape, kSpill,
                     [](std::span<const std::uint8_t> piece, char* out) {
                       return static_cast<std::size_t>(show<json_string>(piece, out) - out);
                     });
}

Status LineOutput::flush() {
  if (Status status = out_.flush(); !status.ok()) return failed(std::move(status), false);
  return {};
}

Status LineOutput::finish() {
  if (Status status = end_cut_line(); !status.ok()) return failed(std::move(status), false);
  return flush();
}

Status LineOutput::end_cut_line() {
  if (!cut_) return {};
  cut_ = false;
  return out_.write("\n");
}

// What the device did not take stays buffered: each line end there is a
// line lost, and so is the line being added, whose end was not reached.
Status LineOutput::failed(Status status, bool inside_a_line) {
  std::string_view lost = out_.buffered();
  lines_dropped_ = static_cast<std::uint64_t>(std::count(lost.begin(), lost.end(), '\n')) +
                   (inside_a_line ? 1 : 0);
  out_.discard();
  cut_ = device_.last_byte() != '\n';
  return status;
}

}  // namespace fc::receiver
