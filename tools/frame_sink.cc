// frame-sink: a receiver for the client's frames, for demos and for anyone
// building a server. Listens on 127.0.0.1:12345, takes connections one after
// another, and prints each frame's payload on its own line.
//
//   frame-sink [--connections N] [--port P]
//
// Stops after N connections (default: never) or on Ctrl-C. A malformed frame
// is reported on standard error; the connection is then dropped.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sink_platform.h"

namespace {

// Frames larger than this are refused without allocating their claimed size.
constexpr std::uint32_t kMaxPayload = 16u << 20;

using fc::sink::SocketHandle;

enum class ReadResult { kOk, kEnd, kError };

// Reads exactly `size` bytes; kEnd when the stream ends before the first byte.
ReadResult read_exact(SocketHandle socket, std::uint8_t* data, std::size_t size, std::size_t* got) {
  *got = 0;
  while (*got < size) {
    long n = fc::sink::receive(socket, data + *got, size - *got);
    if (n > 0) {
      *got += static_cast<std::size_t>(n);
    } else if (n == 0) {
      return ReadResult::kEnd;
    } else if (!fc::sink::last_call_interrupted() || fc::sink::stop_requested()) {
      return ReadResult::kError;
    }
  }
  return ReadResult::kOk;
}

void complain(unsigned long connection, const std::string& what) {
  (void)std::fprintf(stderr, "frame-sink: connection %lu: %s\n", connection, what.c_str());
}

// The payload and a line break on standard output, at once; false when the
// line did not get out whole.
bool print_line(const std::vector<std::uint8_t>& payload) {
  bool whole =
      payload.empty() || std::fwrite(payload.data(), 1, payload.size(), stdout) == payload.size();
  whole = std::fputc('\n', stdout) != EOF && whole;
  return std::fflush(stdout) == 0 && whole;
}

// Reads frames until the peer ends the stream; false if a frame was malformed.
bool serve(SocketHandle socket, unsigned long connection) {
  for (;;) {
    std::uint8_t prefix[4];
    std::size_t got = 0;
    ReadResult r = read_exact(socket, prefix, sizeof prefix, &got);
    if (r == ReadResult::kEnd && got == 0) return true;
    if (r != ReadResult::kOk) {
      complain(connection, r == ReadResult::kEnd ? "stream ended inside a length prefix after " +
                                                       std::to_string(got) + " of 4 bytes"
                                                 : "read failed: " + fc::sink::last_error_text());
      return false;
    }
    std::uint32_t length = (std::uint32_t{prefix[0]} << 24) | (std::uint32_t{prefix[1]} << 16) |
                           (std::uint32_t{prefix[2]} << 8) | prefix[3];
    if (length > kMaxPayload) {
      complain(connection, "frame length " + std::to_string(length) + " exceeds the limit of " +
                               std::to_string(kMaxPayload) + " bytes");
      return false;
    }
    std::vector<std::uint8_t> payload(length);
    r = read_exact(socket, payload.data(), length, &got);
    if (r != ReadResult::kOk) {
      complain(connection, r == ReadResult::kEnd
                               ? "stream ended inside a payload after " + std::to_string(got) +
                                     " of " + std::to_string(length) + " bytes"
                               : "read failed: " + fc::sink::last_error_text());
      return false;
    }
    if (!print_line(payload)) {
      complain(connection, "cannot write the frame to standard output");
      return false;
    }
  }
}

bool parse_count(const char* text, unsigned long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtoul(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

int usage() {
  (void)std::fprintf(stderr, "usage: frame-sink [--connections N] [--port P]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long connections = 0;  // 0: no limit
  unsigned long port = 12345;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--connections" && i + 1 < argc) {
      if (!parse_count(argv[++i], &connections) || connections == 0) return usage();
    } else if (arg == "--port" && i + 1 < argc) {
      if (!parse_count(argv[++i], &port) || port == 0 || port > 65535) return usage();
    } else {
      return usage();
    }
  }

  fc::sink::prepare_process();
  std::string why;
  SocketHandle listener = fc::sink::listen_loopback(static_cast<std::uint16_t>(port), 16, &why);
  if (listener == fc::sink::kNoSocket) {
    (void)std::fprintf(stderr, "frame-sink: cannot listen on 127.0.0.1:%lu: %s\n", port,
                       why.c_str());
    return 1;
  }
  (void)std::fprintf(stderr, "frame-sink: listening on 127.0.0.1:%lu\n", port);

  bool all_well = true;
  for (unsigned long served = 0;
       !fc::sink::stop_requested() && (connections == 0 || served < connections);) {
    SocketHandle connection = fc::sink::accept_connection(listener);
    if (connection == fc::sink::kNoSocket) {
      if (fc::sink::last_call_interrupted()) continue;
      (void)std::fprintf(stderr, "frame-sink: accept: %s\n", fc::sink::last_error_text().c_str());
      all_well = false;
      break;
    }
    ++served;
    all_well = serve(connection, served) && all_well;
    fc::sink::close_socket(connection);
  }
  fc::sink::close_socket(listener);
  return all_well ? 0 : 1;
}
