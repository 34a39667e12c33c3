#ifndef FC_TOOLS_SINK_SERVER_H_
#define FC_TOOLS_SINK_SERVER_H_

#include "sink_options.h"
#include "sink_platform.h"

namespace fc::sink {

/// Serves the peers that come to `listener` until the set number of
/// connections has ended, or a stop is asked for; then prints what is
/// complete and closes every socket, the listener too. The exit status: 0
/// when no fault was reported, else 1.
int serve(const Options& options, SocketHandle listener);

}  // namespace fc::sink

#endif  // FC_TOOLS_SINK_SERVER_H_
