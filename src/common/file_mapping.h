#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include <sys/stat.h>

namespace verdalia {

// One version of a file on disk: which file it is, how large, and when its bytes and its
// entry last changed. A file written in place, cut, grown or replaced gets another stamp.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0; // the last write of its bytes
  std::int64_t changed_ns = 0;  // the last change of its bytes or its entry

  bool operator==(const FileStamp &) const = default;
};

FileStamp StampOf(const struct stat &info);

// The bytes a data file's lines point into: a read-only view of the file itself, or a copy
// read into memory where the file cannot be viewed.
class FileBytes {
public:
  virtual ~FileBytes() = default;
  virtual std::string_view Bytes() const = 0;
  // Whether the file was cut short under the view since it was made: the bytes past its new
  // end read as zeros, and what was checked is not the file.
  virtual bool Cut() const { return false; }
  // Whether the bytes may no longer be the ones first read: the file was cut, or written
  // in place under the view. A copy in memory never changes.
  virtual bool Changed() const { return false; }
};

// A read-only view of the regular file open on `fd`, whose status `info` was just taken;
// none when the guard below is not installed or the system will not map it (the caller
// reads the file instead).
//
// A view shows what other programs write into the file later; Changed() tells, from the
// file's stamp, whether anyone did. A mapped file that another program truncates would
// raise SIGBUS at the first byte read past its new end. Views are guarded: that signal
// replaces the missing pages with zeros and marks the view cut, and the run that reads it
// refuses the file. A SIGBUS anywhere else goes to the handler that was there before.
std::shared_ptr<const FileBytes> MapFile(int fd, const struct stat &info);

// Installs the guard of the views, the process's SIGBUS handler (the one before it keeps
// every SIGBUS that is not a view's). Each program calls it once from main, before its first
// run; until then files are read into memory. True when it is in place.
bool InstallFileViewGuard();

} // namespace verdalia
