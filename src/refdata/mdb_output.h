#pragma once

// libmdb's own output, kept off the standard streams while an Access database is read.
//
// libmdb speaks for itself: it writes its English warnings and complaints to the standard
// streams and goes on, a page it cannot read skipped or read as zeros. Its words must not
// reach the operator, and whether a file is whole is judged by our own checks, not by
// them; but a library that complained has met damage, and that is a refusal too.

#include <cstddef>
#include <mutex>

namespace verdalia {

// While one lives, what the library writes from this thread is counted instead of shown
// (with glibc, whose streams can be stood in for). One lives at a time: a second import
// waits for the first to end.
class LibraryOutput {
public:
  LibraryOutput();
  ~LibraryOutput();
  LibraryOutput(const LibraryOutput &) = delete;
  LibraryOutput &operator=(const LibraryOutput &) = delete;

  // The bytes the library has written from this thread so far, or 0 when they mean nothing.
  std::size_t Written() const;

private:
#ifdef __GLIBC__
  std::lock_guard<std::mutex> m_lock;
  bool m_chatty = false;
#endif
};

} // namespace verdalia
