#include "common/held_signals.h"

#include <initializer_list>

#include <pthread.h>

namespace verdalia {

HeldSignals::HeldSignals() {
  sigset_t held;
  sigemptyset(&held);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    sigaddset(&held, signal);
  }
  pthread_sigmask(SIG_BLOCK, &held, &m_previous);
}

HeldSignals::~HeldSignals() {
  pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

} // namespace verdalia
