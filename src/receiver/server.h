#ifndef FC_RECEIVER_SERVER_H_
#define FC_RECEIVER_SERVER_H_

#include <cstddef>

#include "net/socket_ops.h"
#include "receiver/options.h"

namespace fc::receiver {

/// What the system may hold of each connection's input. A short frame waits
/// there until it is whole, beside what is left of the system's buffer that
/// held the part of it that came first; the system counts that buffer whole
/// (on Linux up to about twice its bytes), so a default buffer may have no
/// room left for the rest of the frame, and the sender would stall.
inline constexpr std::size_t kConnectionInput = std::size_t{256} * 1024;

/// Serves the peers that come to `listener` until the set number of
/// connections has ended, or a stop is asked for; then prints what is
/// complete and closes every socket, the listener too. The exit status: 0
/// when no fault was reported, else 1.
int serve(const Options& options, NativeSocket listener);

}  // namespace fc::receiver

#endif  // FC_RECEIVER_SERVER_H_
