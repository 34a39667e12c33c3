#include <signal.h>
#include <sys/resource.h>

#include "console/process.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {
namespace {

volatile sig_atomic_t g_stops = 0;

void on_interrupt(int) {
  if (g_stops < 2) g_stops = g_stops + 1;
}

}  // namespace

void prepare_receiver_process() {
  prepare_process();
  struct sigaction action{};
  // No SA_RESTART: a wait, or a write to a standard output that is blocked,
  // must return to look at the request.
  action.sa_handler = on_interrupt;
  // Neither call can fail for these signals.
  (void)sigaction(SIGINT, &action, nullptr);
  (void)sigaction(SIGTERM, &action, nullptr);
  // Every peer takes a descriptor: the soft limit (often 1024) goes up to
  // the hard one. Failing that, the soft limit stands.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    (void)setrlimit(RLIMIT_NOFILE, &files);
  }
}

bool stop_requested() { return g_stops >= 1; }

bool stop_forced() { return g_stops >= 2; }

}  // namespace fc::receiver
