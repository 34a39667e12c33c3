#ifndef FC_MAIN_RUN_H_
#define FC_MAIN_RUN_H_

#include <string_view>

#include "debug_text/text_sink.h"
#include "error/io_error.h"

namespace fc {

/// The endpoint the client connects to.
inline constexpr std::string_view kEndpoint = "127.0.0.1:12345";

/// The run sequence: connect, announce, encode, send the frame, report what
/// was sent. Prints its progress lines to `out`, never its failure.
Status main(TextSink& out);

/// Exit status for the run's result; an error is written to standard error
/// as "Error: <debug form>\n" first.
int report(Status result);

/// The failure line for an error, as one text.
std::string failure_line(const IoError& error);

/// Runs the client from start to exit status: the run sequence, its report,
/// the abnormal end, the final flush and the network shut-down.
int run_client();

}  // namespace fc

#endif  // FC_MAIN_RUN_H_
