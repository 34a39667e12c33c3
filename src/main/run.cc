#include "main/run.h"

#include <string>

#include "console/panic.h"
#include "console/std_streams.h"
#include "json/frame_prefix.h"
#include "main/line_writer.h"
#include "main/message.h"
#include "net/tcp_client_stream.h"

namespace fc {
namespace {

// A progress line that cannot be printed ends the run abnormally.
void print_or_panic(Status status, std::source_location where = std::source_location::current()) {
  if (status.ok()) return;
  StringSink text;
  (void)text.write("failed printing to stdout: ");
  (void)status.error().write_display(text);
  panic(text.text(), where);
}

}  // namespace

Status main(TextSink& out) {
  Result<TcpClientStream> stream = connect_endpoint(kEndpoint);
  if (!stream) return std::move(stream.error());
  print_or_panic(out.write("Connected to server\n"));

  const Message record{"3", "split"};
  std::expected<JsonText, JsonError> json = to_json_text(record);
  if (!json) return std::move(json.error()).to_io_error();

  Result<FramePrefix> prefix = length_prefix(*json);
  if (!prefix) return std::move(prefix.error());
  if (Status s = send_all(*stream, *prefix); !s.ok()) return s;
  if (Status s = send_all(*stream, json->view()); !s.ok()) return s;

  print_or_panic(out.write("Sent JSON: "));
  print_or_panic(write_debug(record, out));
  print_or_panic(out.write("\n"));
  return {};
}

std::string failure_line(const IoError& error) {
  StringSink line;
  (void)line.write("Error: ");
  (void)error.write_debug(line);
  (void)line.write("\n");
  return line.take();
}

int report(Status result) {
  if (result.ok()) return 0;
  IoError error = result.take_error();
  // The line goes out in one write; if standard error refuses it the status
  // is still 1.
  (void)write_stderr(failure_line(error));
  return 1;
}

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
