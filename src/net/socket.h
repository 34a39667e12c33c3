#ifndef FC_NET_SOCKET_H_
#define FC_NET_SOCKET_H_

#include <utility>

#include "net/socket_ops.h"

namespace fc {

/// The sole owner of one platform socket, which it closes exactly once: when
/// it is destroyed, reset, or given another socket. Moved, never copied.
class Socket {
 public:
  Socket() = default;
  explicit Socket(NativeSocket handle) : handle_(handle) {}
  Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kNoSocket)) {}
  Socket& operator=(Socket&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, kNoSocket);
    }
    return *this;
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { reset(); }

  NativeSocket native() const { return handle_; }
  bool valid() const { return handle_ != kNoSocket; }
  /// Closes the socket, if there is one.
  void reset() {
    if (handle_ != kNoSocket) close_socket(std::exchange(handle_, kNoSocket));
  }

 private:
  NativeSocket handle_ = kNoSocket;
};

}  // namespace fc

#endif  // FC_NET_SOCKET_H_
