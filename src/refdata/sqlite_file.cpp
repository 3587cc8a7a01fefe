// Opening an SQLite reference database read-only, where it lies or, in WAL mode, from a
// private copy of the file and its "-wal" that is removed when the database is closed.
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "common/path.h"
#include "refdata/sqlite_source.h"

namespace verdalia {
namespace {

// Only a regular file is opened: opening a named pipe would wait for a writer, and a folder
// or a device is no database.
void RequireRegularFile(const std::string &path) {
  struct stat info {};
  std::string why;
  if (::stat(path.c_str(), &info) != 0) {
    why = errno == ENOENT ? "el archivo no existe" : std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    why = "es una carpeta";
  } else if (!S_ISREG(info.st_mode)) {
    why = "no es un archivo regular";
  } else {
    return;
  }
  FailOpen(path, why);
}

// Bytes 18 and 19 of an SQLite header are the file format's write and read versions; 2 is
// WAL mode.
bool InWalMode(const std::string &file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  std::array<unsigned char, 100> header{};
  const ssize_t got = ::pread(fd, header.data(), header.size(), 0);
  ::close(fd);
  static constexpr char kMagic[] = "SQLite format 3"; // with its NUL, the first 16 bytes
  return got == static_cast<ssize_t>(header.size()) &&
         std::memcmp(header.data(), kMagic, sizeof kMagic) == 0 &&
         (header[18] == 2 || header[19] == 2);
}

// What tells one state of a file from another: a file changed while it is copied is copied
// again.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  bool operator==(const FileStamp &other) const {
    return exists == other.exists && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec && changed.tv_sec == other.changed.tv_sec &&
           changed.tv_nsec == other.changed.tv_nsec;
  }
};

FileStamp StampOf(const std::string &file) {
  struct stat info {};
  FileStamp stamp;
  if (::stat(file.c_str(), &info) == 0) {
    stamp = {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
  }
  return stamp;
}

// Copies a regular file; the reason when it cannot, empty when it could.
std::string CopyFile(const std::string &from, const std::string &to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) {
    return from + ": " + std::strerror(errno);
  }
  struct stat info {};
  if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(in);
    return from + ": no es un archivo regular";
  }
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    return std::strerror(error);
  }
  std::array<char, 1 << 16> buffer{};
  std::string why;
  while (why.empty()) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got == 0) {
      break;
    }
    if (got < 0) {
      if (errno != EINTR) {
        why = from + ": " + std::strerror(errno);
      }
      continue;
    }
    for (ssize_t done = 0; done < got && why.empty();) {
      const ssize_t put = ::write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put > 0) {
        done += put;
      } else if (put == 0 || errno != EINTR) {
        why = std::strerror(put == 0 ? ENOSPC : errno);
      }
    }
  }
  ::close(in);
  if (::close(out) != 0 && why.empty()) {
    why = std::strerror(errno);
  }
  return why;
}

constexpr const char *kCopyName = "referencia.db"; // the copy's name in its private folder

// Removes a private folder and what it holds, if there is one. The files SQLite makes beside
// the copy are named without allocating, so that a destructor may run this when memory has
// run out.
void RemoveFolder(const std::string &folder) noexcept {
  if (folder.empty()) {
    return;
  }
  const std::string &name = folder;
  for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
    std::array<char, 4096> file{};
    const std::size_t copy_name = std::strlen(kCopyName);
    const std::size_t size = name.size() + 1 + copy_name + std::strlen(suffix);
    if (size < file.size()) {
      std::memcpy(file.data(), name.data(), name.size());
      file[name.size()] = '/';
      std::memcpy(file.data() + name.size() + 1, kCopyName, copy_name);
      std::memcpy(file.data() + name.size() + 1 + copy_name, suffix, std::strlen(suffix));
      ::unlink(file.data());
    }
  }
  if (::rmdir(name.c_str()) != 0) {
    try {
      std::error_code ec;
      std::filesystem::remove_all(FileSystemPath(folder), ec);
    } catch (...) {
      // Out of memory as well: the folder stays in the temporary folder.
    }
  }
}

// A folder of this process's own, removed with what it holds unless released. Its name is
// made before the folder, so that no failure can come between the folder and its owner.
class PrivateFolder {
public:
  explicit PrivateFolder(const std::string &database) {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) {
      base = "/tmp";
    }
    std::string name = Utf8Path(base / "verdalia-referencia-XXXXXX");
    if (::mkdtemp(name.data()) == nullptr) {
      FailOpen(database, "no se puede crear una carpeta temporal en \"" + Utf8Path(base) +
                             "\": " + std::strerror(errno));
    }
    m_path = std::move(name);
  }
  ~PrivateFolder() { RemoveFolder(m_path); }
  PrivateFolder(const PrivateFolder &) = delete;
  PrivateFolder &operator=(const PrivateFolder &) = delete;

  const std::string &path() const { return m_path; }
  std::string Release() { return std::exchange(m_path, {}); }

private:
  std::string m_path;
};

SqliteHandle OpenFile(const std::string &file, const std::string &path) {
  sqlite3 *raw = nullptr;
  const int rc =
      sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  SqliteHandle db(raw);
  if (rc != SQLITE_OK) {
    FailOpen(path, raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
  }
  // A database another program holds locked is waited for briefly, then reported.
  sqlite3_busy_timeout(raw, 2000);
  return db;
}

// A database in WAL mode, or with a "-wal" file that holds anything, copied with that file
// into a private folder: read where it lies, SQLite would create its "-wal" and "-shm" files
// beside it, or fail where it may not. The copy is made again while the files change under
// it (a writer or a checkpoint of another program), and refused if they never hold still.
ReadOnlyDatabase OpenCopy(const std::string &path, const std::string &file) {
  const std::string wal = file + "-wal";
  // Held from before the folder is made until it is removed with the copy.
  auto held = std::make_unique<HeldSignals>();
  PrivateFolder folder(path);
  const std::string copy = folder.path() + "/" + kCopyName;
  constexpr int kAttempts = 5;
  for (int attempt = 1;; ++attempt) {
    const FileStamp file_before = StampOf(file);
    const FileStamp wal_before = StampOf(wal);
    std::string why = CopyFile(file, copy);
    if (why.empty() && wal_before.exists) {
      why = CopyFile(wal, copy + "-wal");
    } else if (why.empty()) {
      ::unlink((copy + "-wal").c_str());
    }
    if (!why.empty()) {
      FailOpen(path, "no se puede copiar a la carpeta temporal \"" + folder.path() + "\": " + why);
    }
    if (file_before == StampOf(file) && wal_before == StampOf(wal)) {
      break;
    }
    if (attempt == kAttempts) {
      FailOpen(path, "la base de datos cambió mientras se copiaba");
    }
  }
  SqliteHandle db = OpenFile(copy, path);
  return ReadOnlyDatabase(std::move(db), folder.Release(), std::move(held));
}

} // namespace

ReadOnlyDatabase::ReadOnlyDatabase(SqliteHandle db, std::string copy_folder,
                                   std::unique_ptr<HeldSignals> held)
    : m_held(std::move(held)), m_copy_folder(std::move(copy_folder)), m_db(std::move(db)) {}

ReadOnlyDatabase::ReadOnlyDatabase(ReadOnlyDatabase &&other) noexcept
    : m_held(std::move(other.m_held)), m_copy_folder(std::exchange(other.m_copy_folder, {})),
      m_db(std::move(other.m_db)) {}

ReadOnlyDatabase::~ReadOnlyDatabase() {
  m_db.reset(); // closed before its copy goes
  RemoveFolder(m_copy_folder);
}

ReadOnlyDatabase OpenSqliteReadOnly(const std::string &path) {
  RequireRegularFile(path);
  // SQLite names the "-wal" file after the database's real path, links resolved.
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(FileSystemPath(path), ec);
  const std::string file = ec ? path : Utf8Path(real);
  const FileStamp wal = StampOf(file + "-wal");
  if (InWalMode(file) || (wal.exists && wal.size != 0)) {
    return OpenCopy(path, file);
  }
  return ReadOnlyDatabase(OpenFile(path, path), {});
}

} // namespace verdalia
