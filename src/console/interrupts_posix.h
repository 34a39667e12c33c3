#ifndef FC_CONSOLE_INTERRUPTS_POSIX_H_
#define FC_CONSOLE_INTERRUPTS_POSIX_H_

#include <signal.h>
#include <sys/types.h>

#include <cstddef>

// How POSIX code that waits lets the requests to stop in (interrupts.h).

namespace fc {

/// The signal mask to wait with (epoll_pwait, ppoll): the process's own with
/// the requests to stop let in; null before count_interrupts(), when the
/// process's own mask serves.
const sigset_t* wait_signal_mask();

/// write(2) with the requests to stop let in while it waits: a first request
/// cuts it short (EINTR, or a short count), a second ends it at once, with
/// ECANCELED, even one that had already begun to wait.
ssize_t write_letting_interrupts_in(int fd, const void* bytes, std::size_t size);

/// How the standard streams write and wait for room: with write(2) and the
/// process's own signal mask until count_interrupts() routes them through
/// the two above. Kept apart so that a program that never counts requests
/// links none of this. Defined with the streams (std_streams_posix.cc).
void route_stream_writes(ssize_t (*write)(int, const void*, std::size_t), const sigset_t* mask);

}  // namespace fc

#endif  // FC_CONSOLE_INTERRUPTS_POSIX_H_
