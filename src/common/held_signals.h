#pragma once

#include <csignal>

namespace verdalia {

// Holds SIGINT, SIGTERM, SIGHUP and SIGQUIT on the calling thread while it lives, so that an
// interrupt ends the process only once what must not be left half done is done (a file under
// a temporary name renamed, a pair of lists both in place, a private copy removed); the
// signals arrive when it ends. Nested holds release in the reverse order they were taken.
class HeldSignals {
public:
  HeldSignals();
  ~HeldSignals();
  HeldSignals(const HeldSignals &) = delete;
  HeldSignals &operator=(const HeldSignals &) = delete;

private:
  sigset_t m_previous;
};

} // namespace verdalia
