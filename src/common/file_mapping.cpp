#include "common/file_mapping.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace verdalia {
namespace {

// The views the SIGBUS handler knows about. The handler may run on any thread at any
// moment, so it reads only these atomics; a view takes a free slot when it is made and
// gives it back before it is unmapped.
struct GuardSlot {
  std::atomic<bool> taken{false};
  std::atomic<std::uintptr_t> begin{0}; // 0 while the handler is not to look at it
  std::atomic<std::uintptr_t> end{0};   // page-aligned
  std::atomic<bool> cut{false};
};

// More views alive at once than this are read instead of mapped.
constexpr std::size_t kGuardSlots = 64;
std::array<GuardSlot, kGuardSlots> g_slots;
std::uintptr_t g_page_size = 4096;
struct sigaction g_previous {};

void ForwardToPrevious(int signal, siginfo_t *info, void *context) {
  if ((g_previous.sa_flags & SA_SIGINFO) != 0) {
    if (g_previous.sa_sigaction != nullptr) {
      g_previous.sa_sigaction(signal, info, context);
      return;
    }
  } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(signal);
    return;
  }
  // No handler of its own: the faulting instruction runs again and ends the process, as
  // it would have without this one.
  ::signal(signal, SIG_DFL);
}

void OnBusError(int signal, siginfo_t *info, void *context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (GuardSlot &slot : g_slots) {
    const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= end) {
      continue;
    }
    // The file ends before this page now: from here to the view's end it reads as zeros.
    const std::uintptr_t page = address & ~(g_page_size - 1);
    void *zeros = ::mmap(reinterpret_cast<void *>(page), end - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros != MAP_FAILED) {
      slot.cut.store(true, std::memory_order_release);
      return;
    }
    break;
  }
  ForwardToPrevious(signal, info, context);
}

std::atomic<bool> g_guard_installed{false};

GuardSlot *TakeSlot(std::uintptr_t begin, std::uintptr_t end) {
  for (GuardSlot &slot : g_slots) {
    bool taken = false;
    if (slot.taken.compare_exchange_strong(taken, true, std::memory_order_acquire)) {
      slot.cut.store(false, std::memory_order_relaxed);
      slot.end.store(end, std::memory_order_relaxed);
      // The begin, stored last, shows the slot to the handler.
      slot.begin.store(begin, std::memory_order_release);
      return &slot;
    }
  }
  return nullptr;
}

void GiveBack(GuardSlot &slot) {
  slot.begin.store(0, std::memory_order_release);
  slot.taken.store(false, std::memory_order_release);
}

// The view keeps a descriptor of its own, so that it can ask whether its file was written
// since, whatever name the file goes by now.
class MappedFile final : public FileBytes {
public:
  MappedFile(const char *data, std::size_t size, std::size_t mapped, GuardSlot *slot, int fd,
             const struct stat &info)
      : m_data(data), m_size(size), m_mapped(mapped), m_slot(slot), m_fd(fd),
        m_stamp(StampOf(info)) {}
  ~MappedFile() override {
    // Nothing reads the view any more: the handler can stop looking at it.
    m_slot->begin.store(0, std::memory_order_release);
    ::munmap(const_cast<char *>(m_data), m_mapped);
    GiveBack(*m_slot);
    ::close(m_fd);
  }
  MappedFile(const MappedFile &) = delete;
  MappedFile &operator=(const MappedFile &) = delete;

  std::string_view Bytes() const override { return {m_data, m_size}; }
  bool Cut() const override { return m_slot->cut.load(std::memory_order_acquire); }
  bool Changed() const override {
    struct stat now {};
    return Cut() || ::fstat(m_fd, &now) != 0 || !(StampOf(now) == m_stamp);
  }

private:
  const char *m_data;
  std::size_t m_size;
  std::size_t m_mapped;
  GuardSlot *m_slot;
  int m_fd;
  FileStamp m_stamp;
};

} // namespace

FileStamp StampOf(const struct stat &info) {
  constexpr std::int64_t kNano = 1'000'000'000;
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::uint64_t>(info.st_size),
          static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNano + info.st_mtim.tv_nsec,
          static_cast<std::int64_t>(info.st_ctim.tv_sec) * kNano + info.st_ctim.tv_nsec};
}

bool InstallFileViewGuard() {
  static std::mutex mutex;
  const std::lock_guard lock(mutex);
  if (!g_guard_installed.load()) {
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0) {
      g_page_size = static_cast<std::uintptr_t>(page);
    }
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    g_guard_installed.store(::sigaction(SIGBUS, &action, &g_previous) == 0);
  }
  return g_guard_installed.load();
}

std::shared_ptr<const FileBytes> MapFile(int fd, const struct stat &info) {
  // Without the guard a file cut under its view would end the process: it is read instead.
  if (info.st_size <= 0 || !g_guard_installed.load()) {
    return nullptr;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  const std::size_t mapped = (size + g_page_size - 1) & ~(g_page_size - 1);
  void *data = ::mmap(nullptr, mapped, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (data == MAP_FAILED) {
    return nullptr;
  }
  const int own_fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own_fd < 0) {
    ::munmap(data, mapped);
    return nullptr;
  }
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  GuardSlot *slot = TakeSlot(begin, begin + mapped);
  if (slot == nullptr) {
    ::munmap(data, mapped);
    ::close(own_fd);
    return nullptr;
  }
  return std::make_shared<const MappedFile>(static_cast<const char *>(data), size, mapped, slot,
                                            own_fd, info);
}

} // namespace verdalia
