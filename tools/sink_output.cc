#include "sink_output.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "sink_platform.h"

namespace fc::sink {
namespace {

bool shown_as_is(std::uint8_t byte) { return byte >= 0x20 && byte != 0x7f; }

// The JSON escape of a byte that is not shown as it is, built in `room`
// where it has no short form.
std::string_view escape(std::uint8_t byte, char (&room)[6]) {
  switch (byte) {
    case '\b': return "\\b";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\f': return "\\f";
    case '\r': return "\\r";
    default: {
      static constexpr char kHex[] = "0123456789abcdef";
      std::memcpy(room, "\\u00", 4);
      room[4] = kHex[byte >> 4];
      room[5] = kHex[byte & 0xf];
      return {room, sizeof room};
    }
  }
}

}  // namespace

LineOutput::WaitingDevice::WaitingDevice(OutputDevice& device) : device_(device) {}

// A stream that refused because it is full has been waited for: the write is
// one to try again, as write_all does with an interrupted one.
Result<std::size_t> LineOutput::WaitingDevice::write_some(std::string_view bytes) {
  Result<std::size_t> taken = device_.write_some(bytes);
  if (taken || taken.error().kind() != ErrorKind::WouldBlock) return taken;
  wait_for_output_room();
  return std::unexpected(IoError::from_kind(ErrorKind::Interrupted));
}

Status LineOutput::add_line(std::span<const std::uint8_t> payload) {
  const char* text = reinterpret_cast<const char*>(payload.data());
  std::size_t run = 0;  // where the bytes shown as they are begin
  for (std::size_t i = 0; i < payload.size(); ++i) {
    if (shown_as_is(payload[i])) continue;
    char room[6];
    if (Status status = put({text + run, i - run}); !status.ok()) return status;
    if (Status status = put(escape(payload[i], room)); !status.ok()) return status;
    run = i + 1;
  }
  if (Status status = put({text + run, payload.size() - run}); !status.ok()) return status;
  return put("\n");
}

Status LineOutput::flush() {
  std::size_t size = std::exchange(size_, 0);
  return size == 0 ? Status() : write_out({buffer_, size});
}

Status LineOutput::put(std::string_view bytes) {
  while (!bytes.empty()) {
    if (size_ == kCapacity) {
      if (Status status = flush(); !status.ok()) return status;
    }
    std::size_t piece = std::min(bytes.size(), kCapacity - size_);
    std::memcpy(buffer_ + size_, bytes.data(), piece);
    size_ += piece;
    bytes.remove_prefix(piece);
  }
  return {};
}

Status LineOutput::write_out(std::string_view bytes) {
  auto start = std::chrono::steady_clock::now();
  Status status = write_all(device_, bytes);
  time_writing_ += std::chrono::steady_clock::now() - start;
  return status;
}

}  // namespace fc::sink
