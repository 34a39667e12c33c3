#include "receiver/connections.h"

#include <algorithm>
#include <string>

namespace fc::receiver {
namespace {

std::string seconds(std::chrono::steady_clock::duration time) {
  return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(time).count()) + " s";
}

}  // namespace

Result<std::size_t> Connection::hold(std::size_t bytes) {
  if (bytes == low_water_) return held_;
  Result<std::size_t> held = socket_->hold(bytes);
  if (held) {
    low_water_ = bytes;
    held_ = *held;
  }
  return held;
}

void Connection::fault(std::string_view what) { owner_.fault(*this, what); }

void Connection::granted(bool lost) { owner_.granted(*this, lost); }

Connections::Connections(const ServingLimits& limits, const ReaderLimits& reader_limits,
                         Printer& printer, Reporter& reporter)
    : limits_(limits), printer_(printer), reporter_(reporter), reader_(reader_limits, printer) {}

Connection* Connections::open(std::unique_ptr<PeerSocket> socket, std::string address,
                              SteadyTime now) {
  now_ = now;
  Connection& connection =
      connections_.emplace_back(*this, PeerName{++taken_, std::move(address)}, std::move(socket));
  connection.self_ = std::prev(connections_.end());
  ++open_count_;
  (void)printer_.opened(connection.name_);
  if (Status status = connection.socket_->watch(Watch::kInput, connection.token()); !status.ok()) {
    fault(connection, "cannot wait for input: " + display_text(status.error()));
    close(connection);
    return nullptr;
  }
  idle_.touch(connection, now);
  return &connection;
}

void Connections::news(std::uint64_t token, bool ended, bool failed, SteadyTime now) {
  Connection& connection = *reinterpret_cast<Connection*>(static_cast<std::uintptr_t>(token));
  if (!connection.open_) return;
  if (failed) {
    connection.end_ = StreamEnd::kUnclear;
  } else if (ended && connection.end_ == StreamEnd::kOpen) {
    connection.end_ = StreamEnd::kClean;
  }
  turn(connection, connection.end_, now);
}

void Connections::look_again(SteadyTime now) {
  std::vector<Connection*> list;
  list.swap(again_);
  for (Connection* connection : list) {
    connection->again_ = false;
    if (connection->open_) turn(*connection, connection->end_, now);
  }
}

void Connections::turn(Connection& connection, StreamEnd end, SteadyTime now) {
  now_ = now;
  apply(connection, reader_.take(connection.frames_, end), now);
}

// Fits what the connection is watched for and which deadlines run to the
// reader's answer.
void Connections::apply(Connection& connection, const Wants& wants, SteadyTime now) {
  // Closed during its own turn: its frame could not be given the room it
  // was granted.
  if (!connection.open_) return;
  if (wants.turn == Turn::kEnded) return close(connection);
  if (wants.watch != connection.watch_) {
    connection.watch_ = wants.watch;
    if (Status status = connection.socket_->watch(wants.watch, connection.token()); !status.ok()) {
      fault(connection, "cannot wait for input: " + display_text(status.error()));
      return close(connection);
    }
  }
  connection.inside_ = wants.inside_frame;
  if (!wants.idle_time) {
    idle_.remove(connection);
  } else if (wants.turn == Turn::kHeard) {
    idle_.touch(connection, now);
  } else {
    idle_.keep(connection, now);
  }
  switch (wants.frame_time) {
    case FrameTime::kStopped: framing_.remove(connection); break;
    case FrameTime::kRuns: framing_.keep(connection, now); break;
    case FrameTime::kRestarts: framing_.touch(connection, now); break;
  }
  if (wants.more && !connection.again_) {
    connection.again_ = true;
    again_.push_back(&connection);
  }
  if (winds_up(connection)) close(connection);
}

// At a stop, a connection is done once no frame is under way and nothing
// more waits.
bool Connections::winds_up(const Connection& connection) const {
  return stop_end_.has_value() && !connection.inside_ && !connection.again_;
}

void Connections::expire(SteadyTime now) {
  now_ = now;
  while (Connection* connection = framing_.take_due(now)) {
    fault(*connection, "frame not complete within " + seconds(limits_.frame) + " (" +
                           reader_.position(connection->frames_) + "), dropped");
    close(*connection);
  }
  while (Connection* connection = idle_.take_due(now)) {
    // A short frame's bytes wait with the system until it can be whole, so
    // the system is asked whether any came since.
    if (reader_.heard_since(connection->frames_)) {
      idle_.touch(*connection, now);
      continue;
    }
    if (stop_end_) {
      reader_.report_unfinished(connection->frames_, "stopped");
    } else {
      std::string where = reader_.position(connection->frames_);
      fault(*connection,
            "idle for " + seconds(limits_.idle) + (where.empty() ? "" : " " + where) + ", dropped");
    }
    close(*connection);
  }
  if (stop_end_ && now >= *stop_end_) close_all(false);
}

std::optional<SteadyTime> Connections::next_due() const {
  std::optional<SteadyTime> due = stop_end_;
  for (std::optional<SteadyTime> next : {idle_.next_due(), framing_.next_due()}) {
    if (next && (!due || *next < *due)) due = next;
  }
  return due;
}

void Connections::stop(SteadyTime now) {
  if (stop_end_) return;
  now_ = now;
  stop_end_ = now + limits_.stop_bound;
  idle_.set_limit(limits_.grace);
  for (Connection& connection : connections_) {
    if (connection.open_ && winds_up(connection) && connection.waiting().value_or(0) == 0) {
      close(connection);
    }
  }
  reader_.lend();
}

void Connections::close_all(bool quietly) {
  for (Connection& connection : connections_) {
    if (!connection.open_) continue;
    if (!quietly) reader_.report_unfinished(connection.frames_, "stopped");
    close(connection);
  }
}

void Connections::close(Connection& connection) {
  if (!connection.open_) return;
  connection.open_ = false;
  --open_count_;
  idle_.remove(connection);
  framing_.remove(connection);
  closed_.push_back(&connection);
  reader_.drop(connection.frames_);
  connection.socket_.reset();
  (void)printer_.ended(connection.name_);
}

void Connections::erase_closed() {
  std::erase_if(again_, [](const Connection* connection) { return !connection->open_; });
  for (Connection* connection : closed_) connections_.erase(connection->self_);
  closed_.clear();
}

void Connections::granted(Connection& connection, bool lost) {
  if (lost) return close(connection);
  apply(connection, reader_.wants(connection.frames_), now_);
}

// A fault goes to standard error, and in a record of its own to standard
// output where records are printed.
void Connections::fault(const Connection& connection, std::string_view what) {
  reporter_.fault(connection.number(), what);
  (void)printer_.fault(connection.name_, what);
}

}  // namespace fc::receiver
