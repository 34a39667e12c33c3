#ifndef FC_RECEIVER_RECEIVER_PROCESS_H_
#define FC_RECEIVER_RECEIVER_PROCESS_H_

// What the receiver asks of its process beyond what every program asks
// (console/process.h), one implementation per platform.

namespace fc::receiver {

/// Sets the process up for serving: prepared as every program is, and more:
/// Ctrl-C (SIGTERM too on POSIX) asks it to stop, and a second request cuts
/// short a write that waits; it may hold as many sockets as the system lets
/// it.
void prepare_receiver_process();

/// Whether a stop was asked for.
bool stop_requested();

/// Whether a stop was asked for twice: then nothing more waits.
bool stop_forced();

}  // namespace fc::receiver

#endif  // FC_RECEIVER_RECEIVER_PROCESS_H_
