#ifndef FC_RECEIVER_RECEIVER_PROCESS_H_
#define FC_RECEIVER_RECEIVER_PROCESS_H_

#include "console/interrupts.h"

// What the receiver asks of its process beyond what every program asks
// (console/process.h), one implementation per platform.

namespace fc::receiver {

/// Sets the process up for serving: prepared as every program is, requests
/// to stop counted (console/interrupts.h), and as many sockets as the system
/// lets it hold.
void prepare_receiver_process();

/// Whether a stop was asked for twice: then nothing more waits.
inline bool stop_forced() { return interrupts() >= 2; }

}  // namespace fc::receiver

#endif  // FC_RECEIVER_RECEIVER_PROCESS_H_
