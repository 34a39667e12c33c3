// The requests to stop are blocked, and let in only inside waits: a signal
// that came while the program was busy is delivered the moment it waits, and
// cuts that wait short, so nothing need wake up now and then to look.
//
// A write to a standard stream may wait for ever (a stalled pipe, a paused
// terminal). It lets the requests in too; a second request must end it even
// if it lands just before the write begins to wait, where a flag set by the
// handler would be looked at too late. So the handler jumps out of the write
// instead, back to where it began.

#include <setjmp.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "console/interrupts.h"
#include "console/interrupts_posix.h"

namespace fc {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile sig_atomic_t g_count = 0;
volatile sig_atomic_t g_summary_asked = 0;
volatile sig_atomic_t g_escape_armed = 0;
sigjmp_buf g_escape;
sigset_t g_wait_mask;
sigset_t g_busy_mask;  // the requests blocked: the mask outside waits
bool g_counting = false;

void on_stop(int) {
  if (g_count < 2) g_count = g_count + 1;
  if (g_count >= 2 && g_escape_armed != 0) {
    g_escape_armed = 0;
    siglongjmp(g_escape, 1);
  }
}

void on_summary(int) { g_summary_asked = 1; }

}  // namespace

void count_interrupts() {
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kStopSignals) sigaddset(&held, signal);
  sigaddset(&held, SIGUSR1);
  struct sigaction action{};
  action.sa_handler = on_stop;
  action.sa_mask = held;  // one handler at a time
  // No SA_RESTART: a wait cut short returns, to look at the count.
  // Neither call can fail for these signals.
  for (int signal : kStopSignals) (void)sigaction(signal, &action, nullptr);
  action.sa_handler = on_summary;
  (void)sigaction(SIGUSR1, &action, nullptr);
  sigset_t own;
  (void)sigprocmask(SIG_BLOCK, &held, &own);
  (void)sigprocmask(SIG_BLOCK, nullptr, &g_busy_mask);
  g_wait_mask = own;
  for (int signal : kStopSignals) sigdelset(&g_wait_mask, signal);
  sigdelset(&g_wait_mask, SIGUSR1);
  g_counting = true;
  route_stream_writes(write_letting_interrupts_in, &g_wait_mask);
}

int interrupts() { return g_count; }

bool summary_asked() {
  bool asked = g_summary_asked != 0;
  g_summary_asked = 0;
  return asked;
}

int interrupt_check_milliseconds() { return -1; }

const sigset_t* wait_signal_mask() { return g_counting ? &g_wait_mask : nullptr; }

ssize_t write_letting_interrupts_in(int fd, const void* bytes, std::size_t size) {
  if (!g_counting) return write(fd, bytes, size);
  if (g_count >= 2) {
    errno = ECANCELED;
    return -1;
  }
  // The jump leaves the mask as it is (saving it would cost a call each
  // write); the way back blocks the requests again.
  if (sigsetjmp(g_escape, 0) != 0) {
    (void)sigprocmask(SIG_SETMASK, &g_busy_mask, nullptr);
    errno = ECANCELED;
    return -1;
  }
  g_escape_armed = 1;
  (void)sigprocmask(SIG_SETMASK, &g_wait_mask, nullptr);
  ssize_t written = write(fd, bytes, size);
  int error = errno;
  (void)sigprocmask(SIG_SETMASK, &g_busy_mask, nullptr);
  g_escape_armed = 0;
  errno = error;
  return written;
}

}  // namespace fc
