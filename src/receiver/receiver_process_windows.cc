#include <windows.h>

#include <atomic>

#include "console/process.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {
namespace {

// Set by the console's handler thread, read by the serving loop.
std::atomic<bool> g_stop{false};

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_stop = true;
  return TRUE;
}

}  // namespace

// Ctrl-C and Ctrl-Break ask for a stop; a wait is not cut short by them,
// so the serving loop looks for the request between waits. A peer that goes
// away never raises a signal here, WSAPoll takes any number of sockets, and
// the system's heap gives large blocks back when they are freed.
void prepare_receiver_process() {
  prepare_process();
  (void)SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool stop_requested() { return g_stop; }

}  // namespace fc::receiver
