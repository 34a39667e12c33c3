// Ctrl-C and Ctrl-Break come on a thread of the console's own. A wait for
// sockets is not cut short by them, so the serving loop looks at the count
// between waits; a second request cancels a write of the main thread that
// waits.

#include <windows.h>

#include <atomic>

#include "console/interrupts.h"

namespace fc {
namespace {

std::atomic<int> g_count{0};
std::atomic<bool> g_seen{false};  // the main thread has seen a second request
HANDLE g_main_thread = nullptr;

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  int count = g_count.load();
  while (count < 2 && !g_count.compare_exchange_weak(count, count + 1)) {
  }
  if (count + 1 < 2 || g_main_thread == nullptr) return TRUE;
  // A cancel finds only a write that already waits; one about to begin is
  // caught by a later try, until the main thread has seen the request (for
  // five seconds at most).
  for (int tries = 0; tries < 500 && !g_seen.load(); ++tries) {
    (void)CancelSynchronousIo(g_main_thread);
    Sleep(10);
  }
  return TRUE;
}

}  // namespace

void count_interrupts() {
  (void)DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                        &g_main_thread, 0, FALSE, DUPLICATE_SAME_ACCESS);
  (void)SetConsoleCtrlHandler(on_console_event, TRUE);
}

int interrupts() {
  int count = g_count.load();
  if (count >= 2) g_seen.store(true);
  return count;
}

bool summary_asked() { return false; }

int interrupt_check_milliseconds() { return 200; }

}  // namespace fc
