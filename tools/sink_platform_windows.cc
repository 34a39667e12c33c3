#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "main/process.h"
#include "sink_platform.h"

namespace fc::sink {
namespace {

// Set by the console's handler thread, read by the serving loop.
std::atomic<bool> g_stop{false};

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_stop = true;
  return TRUE;
}

SOCKET native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// Winsock and GetLastError codes share one number space.
std::string message_for(DWORD code) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  if (length == 0) return "error " + std::to_string(code);
  return std::string(text, length) + " (error " + std::to_string(code) + ")";
}

bool start_winsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace

// Ctrl-C and Ctrl-Break ask for a stop; a wait is not cut short by them,
// so the serving loop looks for the request between waits. A peer that goes
// away never raises a signal here, WSAPoll takes any number of sockets, and
// the system's heap gives large blocks back when they are freed.
void prepare_process() {
  fc::prepare_process();
  (void)SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool stop_requested() { return g_stop; }

SocketHandle listen_loopback(std::uint16_t port, int backlog, std::string* why) {
  if (!start_winsock()) {
    *why = "the network cannot be started";
    return kNoSocket;
  }
  SOCKET listener = WSASocketW(AF_INET, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (listener == INVALID_SOCKET) {
    *why = last_error_text();
    return kNoSocket;
  }
  // Nobody else may take the port from under us.
  BOOL yes = TRUE;
  setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
             sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, backlog) != 0) {
    *why = last_error_text();
    closesocket(listener);
    return kNoSocket;
  }
  return listener;
}

int largest_backlog() { return SOMAXCONN; }

std::uint16_t local_port(SocketHandle socket) {
  sockaddr_in address{};
  int length = sizeof address;
  getsockname(native(socket), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

int wait_for_input(std::span<WatchedSocket> sockets, int milliseconds) {
  if (sockets.empty()) {  // WSAPoll refuses an empty set
    Sleep(static_cast<DWORD>(milliseconds));
    return 0;
  }
  std::vector<WSAPOLLFD> entries;
  entries.reserve(sockets.size());
  for (const WatchedSocket& watched : sockets) {
    entries.push_back({native(watched.socket), POLLRDNORM, 0});
  }
  int ready = WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), milliseconds);
  if (ready == SOCKET_ERROR) return WSAGetLastError() == WSAEINTR ? 0 : -1;
  for (std::size_t i = 0; i < sockets.size(); ++i) sockets[i].ready = entries[i].revents != 0;
  return ready;
}

bool make_non_blocking(SocketHandle socket) {
  u_long yes = 1;
  return ioctlsocket(native(socket), FIONBIO, &yes) == 0;
}

void reset_on_close(SocketHandle socket) {
  linger reset{1, 0};
  setsockopt(native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
             sizeof reset);
}

SocketHandle accept_connection(SocketHandle listener) {
  SOCKET socket = INVALID_SOCKET;
  do {
    socket = accept(native(listener), nullptr, nullptr);
  } while (socket == INVALID_SOCKET && WSAGetLastError() == WSAECONNRESET);
  return socket == INVALID_SOCKET ? kNoSocket : socket;
}

namespace {

// recv() counts in an int: a larger buffer is offered 1 GiB at a time.
long receive_with(SocketHandle socket, std::uint8_t* data, std::size_t size, int flags) {
  int length = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
  return recv(native(socket), reinterpret_cast<char*>(data), length, flags);
}

}  // namespace

long receive(SocketHandle socket, std::uint8_t* data, std::size_t size) {
  return receive_with(socket, data, size, 0);
}

long peek(SocketHandle socket, std::uint8_t* data, std::size_t size) {
  return receive_with(socket, data, size, MSG_PEEK);
}

std::size_t bytes_waiting(SocketHandle socket) {
  u_long count = 0;
  if (ioctlsocket(native(socket), FIONREAD, &count) != 0) return 0;
  return count;
}

// Never called here: standard handles block until written, and a pipe set
// not to wait takes nothing, which is a failed write, not one to wait for.
// A short rest is all it would need.
void wait_for_output_room() { Sleep(1); }

bool last_call_interrupted() { return WSAGetLastError() == WSAEINTR; }

bool last_call_would_block() { return WSAGetLastError() == WSAEWOULDBLOCK; }

std::string last_error_text() { return message_for(static_cast<DWORD>(WSAGetLastError())); }

void close_socket(SocketHandle socket) { closesocket(native(socket)); }

}  // namespace fc::sink
