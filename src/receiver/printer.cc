#include "receiver/printer.h"

#include <charconv>

#include "debug_text/utf.h"
#include "json/base64.h"
#include "json/json_compact.h"
#include "receiver/hex_dump.h"

namespace fc::receiver {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A number as text, in the caller's buffer.
std::string_view decimal(std::uint64_t number, char (&buffer)[24]) {
  auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
  return {buffer, static_cast<std::size_t>(end - buffer)};
}

}  // namespace

Status Printer::record(const PeerName& peer, std::span<const std::uint8_t> payload) {
  return format_ == Format::kJson ? json_frame(peer, payload) : hex_frame(peer, payload);
}

// The record's fields up to its event: {"conn":N,"peer":"A","time":"T","event":"E"
// An address's text holds digits, hex letters and ":.[]%" alone, 56 chars at
// most.
Status Printer::head(const PeerName& peer, std::string_view event) {
  char text[256];
  char number[24];
  char* out = text;
  auto add = [&](std::string_view piece) {
    piece = piece.substr(0, 64);
    piece.copy(out, piece.size());
    out += piece.size();
  };
  add("{\"conn\":");
  add(decimal(peer.number, number));
  add(",\"peer\":\"");
  add(peer.address);
  add("\",\"time\":\"");
  times_.format(now_, out);
  out += kUtcTimeLength;
  add("\",\"event\":\"");
  add(event);
  add("\"");
  return output_.put({text, static_cast<std::size_t>(out - text)});
}

Status Printer::json_frame(const PeerName& peer, std::span<const std::uint8_t> payload) {
  char number[24];
  Status status = head(peer, "frame");
  auto put = [&](std::string_view text) {
    if (status.ok()) status = output_.put(text);
  };
  put(",\"length\":");
  put(decimal(payload.size(), number));
  std::string_view as_text(reinterpret_cast<const char*>(payload.data()), payload.size());
  if (is_json_text(payload)) {
    put(",\"json\":");
    JsonCompactor compactor;
    if (status.ok()) {
      status = output_.put_encoded(
          payload, 1, 1, 0, [&](auto piece, char* out) { return compactor.compact(piece, out); });
    }
    if (!compactor.had_whitespace()) {
      put("}\n");
      return status;
    }
    // White space was dropped: the payload as sent goes in "text" too.
  }
  bool text = is_utf8(as_text);
  put(text ? ",\"text\":\"" : ",\"base64\":\"");
  if (status.ok() && text) status = output_.put_json_string(payload);
  if (status.ok() && !text) {
    status = output_.put_encoded(payload, 3, 4, 0,
                                 [](auto piece, char* out) { return base64_encode(piece, out); });
  }
  put("\"}\n");
  return status;
}

Status Printer::hex_frame(const PeerName& peer, std::span<const std::uint8_t> payload) {
  char number[24];
  std::string line = "connection " + std::string(decimal(peer.number, number)) + " (" +
                     peer.address + "), " + std::string(decimal(payload.size(), number)) +
                     (payload.size() == 1 ? " byte:\n" : " bytes:\n");
  Status status = output_.put(line);
  std::uint32_t offset = 0;
  if (status.ok()) {
    status = output_.put_encoded(
        payload, kHexDumpLineBytes, kHexDumpLineMax, 0, [&](auto piece, char* out) {
          std::size_t written = 0;
          for (std::size_t at = 0; at < piece.size(); at += kHexDumpLineBytes) {
            auto bytes = piece.subspan(at).first(std::min(kHexDumpLineBytes, piece.size() - at));
            written += hex_dump_line(bytes, offset, out + written);
            offset += static_cast<std::uint32_t>(bytes.size());
          }
          return written;
        });
  }
  char end[kHexDumpEndLength];
  std::size_t length = hex_dump_end(static_cast<std::uint32_t>(payload.size()), end);
  if (status.ok()) status = output_.put({end, length});
  return status;
}

Status Printer::event(const PeerName& peer, std::string_view name, std::string_view message) {
  if (format_ != Format::kJson) return {};
  Status status = head(peer, name);
  if (!message.empty()) {
    if (status.ok()) status = output_.put(",\"message\":\"");
    if (status.ok()) status = output_.put_json_string(bytes_of(message));
    if (status.ok()) status = output_.put("\"");
  }
  if (status.ok()) status = output_.put("}\n");
  return status;
}

}  // namespace fc::receiver
