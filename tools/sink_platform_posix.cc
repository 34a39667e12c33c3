#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "sink_platform.h"

namespace fc::sink {
namespace {

volatile sig_atomic_t g_stop = 0;

void on_interrupt(int) { g_stop = 1; }

int fd_of(SocketHandle socket) { return static_cast<int>(socket); }

}  // namespace

void prepare_process() {
  struct sigaction action{};
  action.sa_handler = on_interrupt;  // no SA_RESTART: accept() must return
  // None of these can fail for these signals.
  (void)sigaction(SIGINT, &action, nullptr);
  (void)sigaction(SIGTERM, &action, nullptr);
  (void)signal(SIGPIPE, SIG_IGN);
}

bool stop_requested() { return g_stop != 0; }

SocketHandle listen_loopback(std::uint16_t port, int backlog, std::string* why) {
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) {
    *why = last_error_text();
    return kNoSocket;
  }
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
  return static_cast<SocketHandle>(listener);
}

std::uint16_t local_port(SocketHandle socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(fd_of(socket), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

bool wait_readable(SocketHandle socket, int milliseconds) {
  pollfd entry{fd_of(socket), POLLIN, 0};
  return poll(&entry, 1, milliseconds) > 0;
}

void reset_on_close(SocketHandle socket) {
  linger reset{1, 0};
  setsockopt(fd_of(socket), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

SocketHandle accept_connection(SocketHandle listener) {
  int fd = accept4(fd_of(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return fd < 0 ? kNoSocket : static_cast<SocketHandle>(fd);
}

long receive(SocketHandle socket, std::uint8_t* data, std::size_t size) {
  return static_cast<long>(recv(fd_of(socket), data, size, 0));
}

bool last_call_interrupted() { return errno == EINTR; }

std::string last_error_text() { return std::strerror(errno); }

void close_socket(SocketHandle socket) { close(fd_of(socket)); }

}  // namespace fc::sink
