#pragma once
// The POSIX calls the engine and the command line make, as Windows answers them. The
// compiler puts this header before every source of those layers in the Windows build (never
// before the window's, which speak Qt), so that the engine's code is the same on both
// systems and every difference lives here and in the files of this folder:
//
// - names are UTF-8 and go to the wide ("W") calls: the narrow ones read names in the ANSI
//   code page, where a name with "ñ" or "á" is another file or none;
// - files are opened in binary mode (text mode drops every CR and ends a file at Ctrl-Z) and
//   shared for reading, writing and deleting, as on Linux: the operator may save a file in
//   an editor while the window shows it;
// - a folder opened for reading is opened (and said to be a folder), not refused with
//   "Permission denied";
// - a file's status carries what Linux's does: the volume and file number that tell two names
//   of one file apart, a 64-bit size and times to the 100 ns; offsets are 64 bits too;
// - rename replaces an existing file (MoveFileExW), link puts a file under a new name only
//   where none is (a move that does not replace), fsync flushes through FlushFileBuffers;
// - there are no files without a name (O_TMPFILE), no read at an offset (pread), no
//   mkdtemp and no wait for a write under way (lseek SEEK_DATA): each is done or declined
//   as the callers expect where a system lacks it.
#ifndef _WIN32
#error "posix.h is the Windows build's; Linux has the real calls"
#endif

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream> // its inline code calls members named open: read before the names below

#include <direct.h> // declares rmdir, which gtest reads: before the names below
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// --- file status ----------------------------------------------------------------------
struct verdalia_stat {
  std::uint64_t st_dev = 0; // the volume's serial number
  std::uint64_t st_ino = 0; // the file's number on its volume
  unsigned int st_mode = 0;
  std::int64_t st_size = 0;
  struct timespec st_mtim {}; // the last write of its bytes
  struct timespec st_ctim {}; // the last change of its bytes or its entry
};
int verdalia_stat(const char *path, struct verdalia_stat *info);
int verdalia_lstat(const char *path, struct verdalia_stat *info); // a link is not followed
int verdalia_fstat(int fd, struct verdalia_stat *info);
#define stat verdalia_stat
#define lstat verdalia_lstat
#define fstat verdalia_fstat
using verdalia_dev_t = std::uint64_t;
using verdalia_ino_t = std::uint64_t;
#define dev_t verdalia_dev_t
#define ino_t verdalia_ino_t
#ifndef S_IFLNK
#define S_IFLNK 0xA000
#endif
#ifndef S_ISLNK
#define S_ISLNK(mode) (((mode)&S_IFMT) == S_IFLNK)
#endif

// The C runtime's off_t is 32 bits: an offset past 2 GB in a larger file would wrap. The
// engine's offsets are 64 bits, as on Linux.
using verdalia_off_t = std::int64_t;
#define off_t verdalia_off_t

#ifndef NAME_MAX
#define NAME_MAX 255
#endif

// --- opening, naming, removing ---------------------------------------------------------
#define O_NONBLOCK 0
#define O_CLOEXEC _O_NOINHERIT
#define O_TMPFILE 0x40000000 // refused with EINVAL: the callers then write under a name
int verdalia_open(const char *path, int flags, ...);
int verdalia_rename(const char *from, const char *to);
int verdalia_link(const char *from, const char *to);
int verdalia_unlink(const char *path);
int verdalia_rmdir(const char *path);
char *verdalia_mkdtemp(char *name_template);
#define open verdalia_open
#define rename verdalia_rename
#define link verdalia_link
#define unlink verdalia_unlink
#define rmdir verdalia_rmdir
#define mkdtemp verdalia_mkdtemp

// Linking an open file without a name: never asked for, there being none.
#define AT_FDCWD (-100)
#define AT_SYMLINK_FOLLOW 0x400
#define AT_EMPTY_PATH 0x1000
int verdalia_linkat(int, const char *, int, const char *, int);
#define linkat verdalia_linkat

// --- reading and writing ---------------------------------------------------------------
ssize_t verdalia_pread(int fd, void *buffer, std::size_t count, std::int64_t offset);
int verdalia_fsync(int fd);
#define pread verdalia_pread
#define fsync verdalia_fsync

#ifndef SEEK_DATA
#define SEEK_DATA 3
#endif
std::int64_t verdalia_lseek(int fd, std::int64_t offset, int whence);
#define lseek verdalia_lseek

#define F_GETFD 1
#define F_GETFL 3
#define F_SETFL 4
#define F_DUPFD_CLOEXEC 1030
int verdalia_fcntl(int fd, int command, ...);
#define fcntl verdalia_fcntl

// --- memory ----------------------------------------------------------------------------
// The C runtime has no aligned_alloc whose memory free() takes back; the alignment only
// served huge pages, which Windows does not give to such a block anyway.
inline void *verdalia_aligned_alloc(std::size_t, std::size_t size) {
  return std::malloc(size);
}
namespace std {
using ::verdalia_aligned_alloc;
}
#define aligned_alloc verdalia_aligned_alloc
