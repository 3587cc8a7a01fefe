// Windows has no signals to hold: Ctrl+C, Ctrl+Break and the closing of the console reach a
// program as console events, each on a thread of its own, and the process ends when the
// handler returns. While any hold is taken the handler waits for the last to be released
// before it lets the process end, so that what must not be left half done is done.
#include "common/held_signals.h"

#include <condition_variable>
#include <mutex>

#include <windows.h>

namespace verdalia {
namespace {

std::mutex g_mutex;
std::condition_variable g_released;
int g_holds = 0;

BOOL WINAPI OnConsoleEvent(DWORD) {
  std::unique_lock lock(g_mutex);
  g_released.wait(lock, [] { return g_holds == 0; });
  return FALSE; // the usual handling: the process ends
}

} // namespace

HeldSignals::HeldSignals() {
  static const bool installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
  (void)installed;
  const std::lock_guard lock(g_mutex);
  ++g_holds;
}

HeldSignals::~HeldSignals() {
  {
    const std::lock_guard lock(g_mutex);
    --g_holds;
  }
  g_released.notify_all();
}

} // namespace verdalia
