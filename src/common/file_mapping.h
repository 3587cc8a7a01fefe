#pragma once

#include <memory>
#include <string_view>

#include <sys/stat.h>

namespace verdalia {

// The bytes a data file's lines point into: a read-only view of the file itself, or a copy
// read into memory where the file cannot be viewed.
class FileBytes {
public:
  virtual ~FileBytes() = default;
  virtual std::string_view Bytes() const = 0;
  // Whether the file was cut short under the view since it was made: the bytes past its new
  // end read as zeros, and what was checked is not the file.
  virtual bool Cut() const { return false; }
};

// A read-only view of the regular file open on `fd`, whose status `info` was just taken;
// none when the system will not map it (the caller reads it instead). A view of the same
// file (device, inode and size) that is alive elsewhere and was never cut is shared, so a
// file checked twice is held once.
//
// A mapped file that another program truncates would raise SIGBUS at the first byte read
// past its new end. Views are guarded: that signal replaces the missing pages with zeros and
// marks the view cut, and the run that reads it refuses the file. A SIGBUS anywhere else
// goes to the handler that was there before.
std::shared_ptr<const FileBytes> MapFile(int fd, const struct stat &info);

} // namespace verdalia
