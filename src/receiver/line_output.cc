#include "receiver/line_output.h"

#include <array>

#include "json/json_escape.h"

namespace fc::receiver {
namespace {

// The escape letter of each byte that a line shows escaped, as a JSON string
// would hold it: the control bytes and 0x7F, which JSON itself leaves alone.
// A backslash and a quote are shown as they are.
constexpr std::array<char, 256> kLineEscapeLetters = [] {
  std::array<char, 256> table{};
  for (int byte = 0; byte < 0x20; ++byte) table[byte] = kJsonEscapeLetters[byte];
  table[0x7f] = 'u';
  return table;
}();

}  // namespace

// A stream that refused because it is full is waited for: the write is then
// one to try again, as write_all does with an interrupted one.
Result<std::size_t> LineOutput::PacedDevice::write_some(std::string_view bytes) {
  auto start = std::chrono::steady_clock::now();
  Result<std::size_t> taken = device_.write_some(bytes);
  if (!taken && taken.error().kind() == ErrorKind::WouldBlock) {
    wait_for_stdout_room();
    taken = std::unexpected(IoError::from_kind(ErrorKind::Interrupted));
  }
  time_writing_ += std::chrono::steady_clock::now() - start;
  return taken;
}

Status LineOutput::add_line(std::span<const std::uint8_t> payload) {
  const char* text = reinterpret_cast<const char*>(payload.data());
  std::size_t run = 0;  // where the bytes shown as they are begin
  for (std::size_t i = 0; i < payload.size(); ++i) {
    char letter = kLineEscapeLetters[payload[i]];
    if (letter == 0) continue;
    char escape[kLongestJsonEscape];
    if (Status status = put({text + run, i - run}); !status.ok()) return status;
    std::size_t length = write_json_escape(payload[i], letter, escape);
    if (Status status = put({escape, length}); !status.ok()) return status;
    run = i + 1;
  }
  if (Status status = put({text + run, payload.size() - run}); !status.ok()) return status;
  return put("\n");
}

Status LineOutput::flush() {
  Status status = out_.flush();
  if (!status.ok()) out_.discard();
  return status;
}

Status LineOutput::put(std::string_view bytes) {
  Status status = out_.write(bytes);
  if (!status.ok()) out_.discard();
  return status;
}

}  // namespace fc::receiver
