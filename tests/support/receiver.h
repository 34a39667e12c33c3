#ifndef FC_TESTS_SUPPORT_RECEIVER_H_
#define FC_TESTS_SUPPORT_RECEIVER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "json/wire.h"

namespace fc::testing {

/// The client's fixed endpoint port.
inline constexpr std::uint16_t kClientPort = kEndpointPort;

/// What the receiver does with its one connection.
enum class PeerBehaviour {
  kReadToEnd,    ///< read everything until the peer closes
  kResetAtOnce,  ///< accept, then close with a reset (SO_LINGER 0) without reading
};

/// A TCP listener on 127.0.0.1 that serves exactly one connection on a
/// thread of its own.
class Receiver {
 public:
  virtual ~Receiver() = default;

  /// Listens on 127.0.0.1:port (0: any free port). Null, with a message in
  /// `why`, when the port cannot be bound (held by another program).
  static std::unique_ptr<Receiver> listen(std::uint16_t port, PeerBehaviour behaviour,
                                          std::string* why);

  virtual std::uint16_t port() const = 0;
  /// Waits (bounded) for the connection to end; the bytes received, and
  /// whether the peer ended the stream cleanly.
  virtual bool wait(std::string* bytes, bool* clean_end, int timeout_seconds = 30) = 0;
  /// Whether a connection was accepted at all.
  virtual bool accepted() const = 0;
};

/// True when nothing on this machine listens on 127.0.0.1:port, checked by
/// binding it briefly.
bool port_is_free(std::uint16_t port);

}  // namespace fc::testing

#endif  // FC_TESTS_SUPPORT_RECEIVER_H_
