#include <windows.h>

#include <atomic>

#include "console/process.h"
#include "receiver/receiver_process.h"

namespace fc::receiver {
namespace {

// Set by the console's handler thread, read by the serving loop.
std::atomic<int> g_stops{0};
// The serving thread, whose blocked write a second request cancels.
HANDLE g_main_thread = nullptr;

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (++g_stops >= 2 && g_main_thread != nullptr) (void)CancelSynchronousIo(g_main_thread);
  return TRUE;
}

}  // namespace

// Ctrl-C and Ctrl-Break ask for a stop; a wait is not cut short by them,
// so the serving loop looks for the request between waits. A peer that goes
// away never raises a signal here, and WSAPoll takes any number of sockets.
void prepare_receiver_process() {
  prepare_process();
  (void)DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                        &g_main_thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
  (void)SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool stop_requested() { return g_stops >= 1; }

bool stop_forced() { return g_stops >= 2; }

}  // namespace fc::receiver
