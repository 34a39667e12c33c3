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

constexpr Shown kShown = [] {
  Shown shown;
  for (int byte = 0; byte < 256; ++byte) {
    auto b = static_cast<unsigned char>(byte);
    char letter = byte == 0x7f ? 'u' : byte < 0x20 ? kJsonEscapeLetters[b] : '\0';
    shown.text[b][0] = static_cast<char>(b);
    shown.length[b] =
        letter == 0 ? 1
                    : static_cast<std::uint8_t>(write_json_escape(b, letter, shown.text[b].data()));
  }
  return shown;
}();

// A piece of n bytes takes at most six each, and the last one's eight-byte
// move may spill two more.
constexpr std::size_t kSpill = 8 - kLongestJsonEscape;

// Whether any of eight bytes is shown escaped: below 0x20, or 0x7F. Bytes
// of 0x80 and more never count (their top bit is masked off).
bool any_escaped(std::uint64_t eight) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kTops = 0x8080808080808080;
  std::uint64_t below_space = (eight - kOnes * 0x20) & ~eight & kTops;
  std::uint64_t del = eight ^ (kOnes * 0x7f);
  std::uint64_t is_del = (del - kOnes) & ~del & kTops;
  return (below_space | is_del) != 0;
}

// Writes one byte as the line shows it.
char* show_byte(std::uint8_t byte, char* out) {
  std::memcpy(out, kShown.text[byte].data(), 8);
  return out + kShown.length[byte];
}

// Writes the bytes at `out` as the line shows them; where the writing ended.
// Eight bytes at a time: in one move when none is escaped.
char* show(std::span<const std::uint8_t> bytes, char* out) {
  std::size_t whole = bytes.size() / 8 * 8;
  for (std::size_t i = 0; i < whole; i += 8) {
    std::uint64_t eight;
    std::memcpy(&eight, bytes.data() + i, 8);
    if (!any_escaped(eight)) {
      std::memcpy(out, &eight, 8);
      out += 8;
      continue;
    }
    for (std::size_t k = i; k < i + 8; ++k) out = show_byte(bytes[k], out);
  }
  for (std::size_t k = whole; k < bytes.size(); ++k) out = show_byte(bytes[k], out);
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
  if (Status status = end_cut_line(); !status.ok()) return failed(std::move(status), false);
  // The payload goes in as pieces that fit the buffer even if every byte
  // needs the longest escape; most payloads are one piece.
  while (!payload.empty()) {
    std::span<char> room = out_.free_space();
    std::size_t fit = (std::max(room.size(), kSpill) - kSpill) / kLongestJsonEscape;
    if (fit == 0) {
      if (Status status = out_.flush(); !status.ok()) return failed(std::move(status), true);
      continue;
    }
    std::span<const std::uint8_t> piece = payload.first(std::min(fit, payload.size()));
    out_.filled(static_cast<std::size_t>(show(piece, room.data()) - room.data()));
    payload = payload.subspan(piece.size());
  }
  if (Status status = out_.write("\n"); !status.ok()) return failed(std::move(status), true);
  return {};
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
