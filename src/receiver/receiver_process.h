#ifndef FC_RECEIVER_RECEIVER_PROCESS_H_
#define FC_RECEIVER_RECEIVER_PROCESS_H_

// What the receiver asks of its process beyond what every program asks
// (console/process.h), one implementation per platform.

namespace fc::receiver {

/// Sets the process up for serving: prepared as every program is, and more:
/// Ctrl-C (SIGTERM too on POSIX) asks it to stop, it may hold as many sockets
/// as the system lets it, and a large buffer's memory goes back to the system
/// when it is freed.
void prepare_receiver_process();

/// Whether a stop was asked for.
bool stop_requested();

}  // namespace fc::receiver

#endif  // FC_RECEIVER_RECEIVER_PROCESS_H_
