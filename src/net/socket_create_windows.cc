#include "net/socket_create_windows.h"

namespace fc {

const SocketCalls& system_socket_calls() {
  static constexpr SocketCalls calls = {
      [](int family, DWORD flags) { return WSASocketW(family, SOCK_STREAM, 0, nullptr, 0, flags); },
      [] { return WSAGetLastError(); },
      [](SOCKET socket) {
        return SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
      },
      [] { return GetLastError(); },
      [](SOCKET socket) { return closesocket(socket); },
  };
  return calls;
}

Result<NativeSocket> create_socket(const SocketCalls& calls, int family) {
  SOCKET socket = calls.create(family, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket != INVALID_SOCKET) return socket;
  int code = calls.last_socket_error();
  if (code != WSAEPROTOTYPE && code != WSAEINVAL) {
    return std::unexpected(IoError::from_os_code(code));
  }

  // A system that does not know the no-inherit flag: create the socket
  // without it, then clear the inherit flag on the handle.
  socket = calls.create(family, WSA_FLAG_OVERLAPPED);
  if (socket == INVALID_SOCKET) {
    return std::unexpected(IoError::from_os_code(calls.last_socket_error()));
  }
  if (!calls.clear_inherit(socket)) {
    IoError error = IoError::from_os_code(static_cast<std::int32_t>(calls.last_error()));
    (void)calls.close(socket);
    return std::unexpected(std::move(error));
  }
  return socket;
}

}  // namespace fc
