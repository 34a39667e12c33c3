#include "main/run.h"

#include <source_location>
#include <string>
#include <string_view>

#include "console/panic.h"
#include "console/std_streams.h"
#include "json/frame_prefix.h"
#include "main/line_writer.h"
#include "main/message.h"
#include "net/tcp_client_stream.h"

namespace fc {
namespace {

// A progress line that could not be printed ends the run abnormally.
void panic_if_refused(const LineWriter& out,
                      std::source_location where = std::source_location::current()) {
  if (out.status().ok()) return;
  StringSink text;
  text.write("failed printing to stdout: ");
  out.status().error().write_display(text);
  panic(text.text(), where);
}

// The run sequence. Prints its progress lines to `out`, never its failure.
Status main(LineWriter& out) {
  Result<TcpClientStream> stream = connect_endpoint(kEndpointText);
  if (!stream) return std::move(stream.error());
  out.write("Connected to server\n");
  panic_if_refused(out);

  const Message record{"3", "split"};
  std::expected<JsonText, JsonError> json = to_json_text(record);
  if (!json) return std::move(json.error()).to_io_error();

  Result<FramePrefix> prefix = length_prefix(*json);
  if (!prefix) return std::move(prefix.error());
  if (Status s = send_all(*stream, *prefix); !s.ok()) return s;
  if (Status s = send_all(*stream, json->view()); !s.ok()) return s;

  out.write("Sent JSON: ");
  write_debug(record, out);
  out.write("\n");
  panic_if_refused(out);
  return {};
}

// The exit status for the run's result; an error is written to standard
// error first, as "Error: <debug form>\n" in one write. If standard error
// refuses it the status is still 1.
int report(Status result) {
  if (result.ok()) return 0;
  IoError error = result.take_error();
  StringSink line;
  line.write("Error: ");
  error.write_debug(line);
  line.write("\n");
  (void)write_stderr(line.text());
  return 1;
}

}  // namespace

int run_client() {
  int status;
  try {
    status = report(main(stdout_writer()));
  } catch (const PanicUnwind&) {
    status = 101;
  }
  (void)stdout_writer().flush();
  shut_down_network();
  return status;
}

}  // namespace fc
