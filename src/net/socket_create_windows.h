#ifndef FC_NET_SOCKET_CREATE_WINDOWS_H_
#define FC_NET_SOCKET_CREATE_WINDOWS_H_

#include <winsock2.h>
#include <windows.h>

#include "error/io_error.h"
#include "net/socket_ops.h"

// Creating a socket that children never inherit, on systems that know the
// no-inherit flag and on those that refuse it. The system calls are passed
// in so that the refusal can be exercised where the system accepts the flag.

namespace fc {

/// The system calls that socket creation makes.
struct SocketCalls {
  /// WSASocketW for a stream socket of `family` with `flags`.
  SOCKET (*create)(int family, DWORD flags);
  int (*last_socket_error)();
  /// SetHandleInformation clearing HANDLE_FLAG_INHERIT.
  BOOL (*clear_inherit)(SOCKET socket);
  DWORD (*last_error)();
  int (*close)(SOCKET socket);
};

/// The real calls.
const SocketCalls& system_socket_calls();

/// A new stream socket, created with the no-inherit flag, or (where the
/// system refuses that flag with code 10041 or 10022) without it and then
/// made non-inheritable; the socket is closed again if that fails.
Result<NativeSocket> create_socket(const SocketCalls& calls, int family);

}  // namespace fc

#endif  // FC_NET_SOCKET_CREATE_WINDOWS_H_
