#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "console/std_streams.h"
#include "main/process.h"
#include "sink_platform.h"

namespace fc::sink {
namespace {

volatile sig_atomic_t g_stop = 0;

void on_interrupt(int) { g_stop = 1; }

int fd_of(SocketHandle socket) { return static_cast<int>(socket); }

// A new descriptor out of the standard streams' places; kNoSocket, with errno
// set, when there is no room for it.
SocketHandle kept_clear(int fd) {
  if (fd < 0) return kNoSocket;
  Result<std::uint64_t> moved = clear_of_standard_streams(static_cast<std::uint64_t>(fd));
  if (moved) return *moved;
  errno = moved.error().os_code().value_or(EMFILE);
  return kNoSocket;
}

}  // namespace

void prepare_process() {
  fc::prepare_process();
  struct sigaction action{};
  action.sa_handler = on_interrupt;  // no SA_RESTART: a wait must return
  // Neither call can fail for these signals.
  (void)sigaction(SIGINT, &action, nullptr);
  (void)sigaction(SIGTERM, &action, nullptr);
  // glibc raises its threshold for mapping a block of its own after each
  // large block is freed, and keeps later ones of that size in its heap, which
  // it seldom gives back: a fixed threshold makes every frame buffer of 128
  // KiB or more a mapping of its own, returned to the system once printed.
  (void)mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  // Every peer takes a descriptor: the soft limit (often 1024) goes up to
  // the hard one. Failing that, the soft limit stands.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    (void)setrlimit(RLIMIT_NOFILE, &files);
  }
}

bool stop_requested() { return g_stop != 0; }

SocketHandle listen_loopback(std::uint16_t port, int backlog, std::string* why) {
  SocketHandle handle = kept_clear(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (handle == kNoSocket) {
    *why = last_error_text();
    return kNoSocket;
  }
  int listener = fd_of(handle);
  int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, backlog) != 0) {
    *why = last_error_text();
    close(listener);
    return kNoSocket;
  }
  return handle;
}

int largest_backlog() { return SOMAXCONN; }

std::uint16_t local_port(SocketHandle socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd_of(socket), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

int wait_for_input(std::span<WatchedSocket> sockets, int milliseconds) {
  std::vector<pollfd> entries;
  entries.reserve(sockets.size());
  for (const WatchedSocket& watched : sockets) {
    entries.push_back({fd_of(watched.socket), POLLIN, 0});
  }
  int ready = poll(entries.data(), entries.size(), milliseconds);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  for (std::size_t i = 0; i < sockets.size(); ++i) sockets[i].ready = entries[i].revents != 0;
  return ready;
}

bool make_non_blocking(SocketHandle socket) {
  int yes = 1;
  return ioctl(fd_of(socket), FIONBIO, &yes) == 0;
}

void reset_on_close(SocketHandle socket) {
  linger reset{1, 0};
  setsockopt(fd_of(socket), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

SocketHandle accept_connection(SocketHandle listener) {
  int fd = -1;
  do {
    fd = accept4(fd_of(listener), nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == ECONNABORTED);
  return kept_clear(fd);
}

long receive(SocketHandle socket, std::uint8_t* data, std::size_t size) {
  return static_cast<long>(recv(fd_of(socket), data, size, 0));
}

long peek(SocketHandle socket, std::uint8_t* data, std::size_t size) {
  return static_cast<long>(recv(fd_of(socket), data, size, MSG_PEEK));
}

std::size_t bytes_waiting(SocketHandle socket) {
  int count = 0;
  if (ioctl(fd_of(socket), FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<std::size_t>(count);
}

void wait_for_output_room() {
  pollfd output{STDOUT_FILENO, POLLOUT, 0};
  // A signal or an error ends the wait too: the write that follows tells.
  (void)poll(&output, 1, -1);
}

bool last_call_interrupted() { return errno == EINTR; }

bool last_call_would_block() { return errno == EAGAIN || errno == EWOULDBLOCK; }

std::string last_error_text() { return std::strerror(errno); }

void close_socket(SocketHandle socket) { close(fd_of(socket)); }

}  // namespace fc::sink
