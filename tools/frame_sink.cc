// frame-sink: a receiver for the client's frames, for demos and for anyone
// building a server. Listens on 127.0.0.1:12345, takes connections one after
// another, and prints each frame's payload on its own line.
//
//   frame-sink [--connections N] [--port P]
//
// Stops after N connections (default: never) or on Ctrl-C. A malformed frame
// is reported on standard error; the connection is then dropped.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Frames larger than this are refused without allocating their claimed size.
constexpr std::uint32_t kMaxPayload = 16u << 20;

volatile sig_atomic_t g_stop = 0;

void on_interrupt(int) { g_stop = 1; }

enum class ReadResult { kOk, kEnd, kError };

// Reads exactly `size` bytes; kEnd when the stream ends before the first byte.
ReadResult read_exact(int fd, std::uint8_t* data, std::size_t size, std::size_t* got) {
  *got = 0;
  while (*got < size) {
    ssize_t n = recv(fd, data + *got, size - *got, 0);
    if (n > 0) {
      *got += static_cast<std::size_t>(n);
    } else if (n == 0) {
      return ReadResult::kEnd;
    } else if (errno != EINTR || g_stop) {
      return ReadResult::kError;
    }
  }
  return ReadResult::kOk;
}

void complain(unsigned long connection, const std::string& what) {
  std::fprintf(stderr, "frame-sink: connection %lu: %s\n", connection, what.c_str());
}

// Reads frames until the peer ends the stream; false if a frame was malformed.
bool serve(int fd, unsigned long connection) {
  for (;;) {
    std::uint8_t prefix[4];
    std::size_t got = 0;
    ReadResult r = read_exact(fd, prefix, sizeof prefix, &got);
    if (r == ReadResult::kEnd && got == 0) return true;
    if (r != ReadResult::kOk) {
      complain(connection, r == ReadResult::kEnd
                               ? "stream ended inside a length prefix after " +
                                     std::to_string(got) + " of 4 bytes"
                               : std::string("read failed: ") + std::strerror(errno));
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
    r = read_exact(fd, payload.data(), length, &got);
    if (r != ReadResult::kOk) {
      complain(connection, r == ReadResult::kEnd
                               ? "stream ended inside a payload after " + std::to_string(got) +
                                     " of " + std::to_string(length) + " bytes"
                               : std::string("read failed: ") + std::strerror(errno));
      return false;
    }
    if (!payload.empty()) std::fwrite(payload.data(), 1, payload.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
}

bool parse_count(const char* text, unsigned long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtoul(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

int usage() {
  std::fprintf(stderr, "usage: frame-sink [--connections N] [--port P]\n");
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

  struct sigaction action {};
  action.sa_handler = on_interrupt;  // no SA_RESTART: accept() must return
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) {
    std::perror("frame-sink: socket");
    return 1;
  }
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 16) != 0) {
    std::fprintf(stderr, "frame-sink: cannot listen on 127.0.0.1:%lu: %s\n", port,
                 std::strerror(errno));
    close(listener);
    return 1;
  }
  std::fprintf(stderr, "frame-sink: listening on 127.0.0.1:%lu\n", port);

  bool all_well = true;
  for (unsigned long served = 0; !g_stop && (connections == 0 || served < connections);) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      std::perror("frame-sink: accept");
      all_well = false;
      break;
    }
    ++served;
    all_well = serve(fd, served) && all_well;
    close(fd);
  }
  close(listener);
  return all_well ? 0 : 1;
}
