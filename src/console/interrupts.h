#ifndef FC_CONSOLE_INTERRUPTS_H_
#define FC_CONSOLE_INTERRUPTS_H_

#include "error/io_error.h"

// Requests to stop, for a program that serves until asked to stop, one
// implementation per platform.

namespace fc {

/// A write to a standard stream given up because a stop was asked for again
/// while it waited.
inline constexpr FixedMessage kStoppedWhileBlocked{"stopped while standard output was blocked",
                                                   ErrorKind::Other};

/// From now on a request to stop (Ctrl-C; SIGTERM and SIGHUP on POSIX;
/// Ctrl-Break on Windows) is counted instead of ending the process. On POSIX
/// the requests are held back but while the process waits (Poller::wait, a
/// write to a standard stream, a wait for it to take bytes), so that one can
/// never land between a look at the count and a wait: the wait is cut short
/// instead. A second request ends such a write at once: it fails with
/// kStoppedWhileBlocked. Called once, before any wait.
void count_interrupts();

/// How many requests to stop have come: 0, 1, or 2 for two or more.
int interrupts();

/// Whether a summary was asked for (SIGUSR1 on POSIX; never on Windows)
/// since the last call. Held back and let in as the requests to stop are.
bool summary_asked();

/// The longest a wait may last between two looks at the count: -1 (no
/// bound) where a request cuts every wait short, as on POSIX; Windows cannot
/// cut a wait for sockets short, so there it is a fifth of a second.
int interrupt_check_milliseconds();

}  // namespace fc

#endif  // FC_CONSOLE_INTERRUPTS_H_
