#include <sys/resource.h>

#include "console/interrupts.h"
#include "console/process.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {

void prepare_receiver_process() {
  prepare_process();
  count_interrupts();
  // Every peer takes a descriptor: the soft limit (often 1024) goes up to
  // the hard one. Failing that, the soft limit stands.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    (void)setrlimit(RLIMIT_NOFILE, &files);
  }
}

}  // namespace fc::receiver
