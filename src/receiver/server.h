#ifndef FC_RECEIVER_SERVER_H_
#define FC_RECEIVER_SERVER_H_

#include "net/socket.h"
#include "receiver/line_output.h"
#include "receiver/options.h"
#include "receiver/reporter.h"

namespace fc::receiver {

/// Serves the peers that come to `listener` until the set number of
/// connections has ended, or a stop is asked for; then prints what is
/// complete and closes every socket, the listener too. Frames go to
/// `output`, reports to `reporter`. The exit status: 0 when no fault was
/// reported, else 1.
int serve(const Options& options, Socket listener, Reporter& reporter, LineOutput& output);

}  // namespace fc::receiver

#endif  // FC_RECEIVER_SERVER_H_
