#include <winsock2.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <string>
#include <cstdio>

#include "sink_platform.h"

namespace fc::sink {
namespace {

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

// Ctrl-C keeps its default here: it ends the process.
void prepare_process() {
  // Payload bytes go out as received: no line-ending translation.
  _setmode(_fileno(stdout), _O_BINARY);
}

bool stop_requested() { return false; }

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

std::uint16_t local_port(SocketHandle socket) {
  sockaddr_in address{};
  int length = sizeof address;
  getsockname(native(socket), reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

bool wait_readable(SocketHandle socket, int milliseconds) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(native(socket), &set);
  timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &wait) > 0;
}

void reset_on_close(SocketHandle socket) {
  linger reset{1, 0};
  setsockopt(native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
             sizeof reset);
}

SocketHandle accept_connection(SocketHandle listener) {
  SOCKET socket = accept(native(listener), nullptr, nullptr);
  return socket == INVALID_SOCKET ? kNoSocket : socket;
}

long receive(SocketHandle socket, std::uint8_t* data, std::size_t size) {
  int length = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
  return recv(native(socket), reinterpret_cast<char*>(data), length, 0);
}

bool last_call_interrupted() { return WSAGetLastError() == WSAEINTR; }

std::string last_error_text() { return message_for(static_cast<DWORD>(WSAGetLastError())); }

void close_socket(SocketHandle socket) { closesocket(native(socket)); }

}  // namespace fc::sink
