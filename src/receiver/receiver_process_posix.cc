#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>

#include "console/process.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {
namespace {

volatile sig_atomic_t g_stop = 0;

void on_interrupt(int) { g_stop = 1; }

}  // namespace

void prepare_receiver_process() {
  prepare_process();
  struct sigaction action{};
  action.sa_handler = on_interrupt;  // no SA_RESTART: a wait must return
  // Neither call can fail for these signals.
  (void)sigaction(SIGINT, &action, nullptr);
  (void)sigaction(SIGTERM, &action, nullptr);
  // glibc raises its threshold for mapping a block of its own after each
  // large block is freed, and keeps later ones of that size in its heap, which
  // it seldom gives back: a fixed threshold makes every frame buffer of 128
  // KiB or more a mapping of its own, returned to the system once printed.
  (void)mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  // Every peer takes a descriptor: the soft limit (often 1024) goes up to
  // the hard one. Failing that, the soft limit stands.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    (void)setrlimit(RLIMIT_NOFILE, &files);
  }
}

bool stop_requested() { return g_stop != 0; }

}  // namespace fc::receiver
