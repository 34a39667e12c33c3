#include <signal.h>

#include "console/std_streams.h"
#include "console/process.h"

namespace fc {

void prepare_process() {
  claim_standard_streams();
  // A write must fail with an error, never kill: EPIPE for a pipe whose
  // reader has gone, EFBIG for a file at its size limit.
  // Neither call can fail for these signals.
  (void)signal(SIGPIPE, SIG_IGN);
  (void)signal(SIGXFSZ, SIG_IGN);
}

}  // namespace fc
