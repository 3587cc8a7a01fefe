// Built with libmdb only (VERDALIA_HAVE_MDB): see mdb_output.h.
#ifdef VERDALIA_HAVE_MDB

#include "refdata/mdb_output.h"

#include <atomic>
#include <cstdio>
#include <thread>

#include <mdbtools.h>

namespace verdalia {

// The C library's streams are variables (a documented feature of glibc), so while an
// import runs they are stood in for by streams that count what this thread writes and pass
// every other thread's text on to where it was going: the window's other threads may write
// meanwhile, and their words are theirs. One import at a time stands in for them.
#ifdef __GLIBC__
namespace {

struct Streams;

// One stand-in stream for one of the C library's. It is made once and never closed: a
// thread that took the variable's value just before it was put back may still write.
struct StandIn {
  Streams *streams = nullptr;
  FILE **variable = nullptr;
  FILE *stream = nullptr;
  std::atomic<FILE *> original{nullptr};

  void Install(FILE **which);
  void Uninstall();
  static ssize_t Write(void *cookie, const char *bytes, std::size_t size);
};

struct Streams {
  std::atomic<std::thread::id> thread;
  std::atomic<std::size_t> written{0};
  StandIn out;
  StandIn err;
};

void StandIn::Install(FILE **which) {
  if (stream == nullptr) {
    const cookie_io_functions_t io{nullptr, &StandIn::Write, nullptr, nullptr};
    stream = fopencookie(this, "w", io);
    if (stream == nullptr) {
      return; // the library's words go through as they did; our checks still hold
    }
    std::setvbuf(stream, nullptr, _IONBF, 0); // each write is judged by its own thread
  }
  variable = which;
  original.store(*which);
  __atomic_store_n(which, stream, __ATOMIC_SEQ_CST);
}

void StandIn::Uninstall() {
  if (variable != nullptr) {
    __atomic_store_n(variable, original.load(), __ATOMIC_SEQ_CST);
    variable = nullptr;
  }
}

ssize_t StandIn::Write(void *cookie, const char *bytes, std::size_t size) {
  auto *self = static_cast<StandIn *>(cookie);
  if (std::this_thread::get_id() != self->streams->thread.load()) {
    return static_cast<ssize_t>(std::fwrite(bytes, 1, size, self->original.load()));
  }
  self->streams->written += size;
  return static_cast<ssize_t>(size);
}

std::mutex &Mutex() {
  static std::mutex mutex;
  return mutex;
}

Streams &TheStreams() {
  static Streams *const streams = [] {
    auto *made = new Streams; // never destroyed, as its streams are never closed
    made->out.streams = made;
    made->err.streams = made;
    return made;
  }();
  return *streams;
}

} // namespace

LibraryOutput::LibraryOutput() : m_lock(Mutex()) {
  Streams &streams = TheStreams();
  streams.thread.store(std::this_thread::get_id());
  streams.out.Install(&stdout);
  streams.err.Install(&stderr);
  // Read the library's options now: MDBOPTS=use_index makes it write a notice on the
  // first look, which is no damage. Its debugging options make it write as it reads, and
  // then its words tell nothing; our own checks still hold.
  m_chatty = mdb_get_option(MDB_DEBUG_LIKE | MDB_DEBUG_WRITE | MDB_DEBUG_USAGE | MDB_DEBUG_OLE |
                            MDB_DEBUG_ROW | MDB_DEBUG_PROPS) != 0;
  streams.written.store(0);
}

LibraryOutput::~LibraryOutput() {
  Streams &streams = TheStreams();
  streams.err.Uninstall();
  streams.out.Uninstall();
  streams.thread.store(std::thread::id());
}

std::size_t LibraryOutput::Written() const {
  return m_chatty ? 0 : TheStreams().written.load();
}
#else
// Elsewhere the library's words go through as they are, and only our own checks judge the
// file.
LibraryOutput::LibraryOutput() = default;
LibraryOutput::~LibraryOutput() = default;
std::size_t LibraryOutput::Written() const {
  return 0;
}
#endif

} // namespace verdalia

#endif
