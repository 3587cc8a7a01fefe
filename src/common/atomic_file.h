#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace verdalia {

// What becomes of a file already at the target's path.
enum class ExistingFile { Replace, Keep };

struct WriteOutcome {
  bool ok = true;
  int error = 0;     // the system's error number when !ok (EEXIST: kept, as asked)
  std::string reason; // UTF-8: why, when !ok
};

// Where the file system offers no file without a name, the bytes go to this hidden name
// beside the target first; its length is the target's, so any name the folder accepts works.
std::string TemporaryNameOf(std::string_view file_name);

// Makes `bytes` the whole content of the regular file at `path`, or leaves everything as it
// was. The bytes go to a file without a name in the target's folder, written and flushed to
// disk, which takes the target's name only once complete: an interrupted or failed write
// leaves no file behind and the previous one whole. Where the file system cannot make a file
// without a name, a hidden one (TemporaryNameOf) is used; one left by a killed process is
// replaced by the next write of the same file. The interrupting signals (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT) are held from the first byte written until the file is in place. A path
// that names something other than a regular file is never written. `existing` Keep refuses
// (EEXIST) when a file appears at the path, even meanwhile. The file's mode is the usual 0666
// less the process's umask.
WriteOutcome WriteFileAtomically(const std::string &path, std::string_view bytes,
                                 ExistingFile existing = ExistingFile::Replace);

struct FileWrite {
  std::string path;
  std::string_view bytes;
};

// Replaces several files as WriteFileAtomically replaces one, and puts them in place together:
// each is written and flushed to disk under no name first, and only once every one is
// complete are they given their names, one right after the other, the interrupting signals
// held throughout. When one cannot be written, none is put in place. On failure `failed` is
// the index of the file the outcome concerns.
WriteOutcome WriteFilesAtomically(const std::vector<FileWrite> &files, std::size_t &failed);

// For tests: writes as on a file system that offers no file without a name.
WriteOutcome WriteFileAtomicallyThroughName(const std::string &path, std::string_view bytes,
                                            ExistingFile existing = ExistingFile::Replace);

} // namespace verdalia
