#include "reports/error_list_writer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/windows1252.h"

namespace verdalia {

std::string ErrorListText(const ResultList &rows) {
  std::string text;
  for (const ResultRow &row : rows) {
    text += std::to_string(row.record);
    text += '\t';
    text += row.field;
    text += '\t';
    text += row.message;
    text += "\r\n";
  }
  return text;
}

std::string ErrorListPath(const std::string &data_path, ListKind kind) {
  return data_path + (kind == ListKind::Logical ? ".err.logico" : ".err.fisico");
}

SaveResult SaveErrorList(const std::string &path, const ResultList &rows) {
  // Only a regular file is replaced: a device or folder of that name is left alone.
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    return {false, "no es un archivo regular"};
  }
  const std::string text = ErrorListText(rows);
  std::string temp = path + ".tmpXXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    return {false, std::strerror(errno)};
  }
  auto fail = [&](int error) {
    ::close(fd);
    ::unlink(temp.c_str());
    return SaveResult{false, std::strerror(error)};
  };
  // mkstemp makes the file private; a list is an ordinary document.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);

  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return fail(errno);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) {
    return fail(errno);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return {false, std::strerror(error)};
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return {false, std::strerror(error)};
  }
  return {};
}

std::string SavedMessage(const std::string &path) {
  return "El listado de errores se guardo en el archivo " + Utf8ToWindows1252(path);
}

} // namespace verdalia
