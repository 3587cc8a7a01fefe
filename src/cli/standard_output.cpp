#include "cli/standard_output.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace verdalia::cli {

void HoldStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // open() gives the lowest free number: this one.
      ::open("/dev/null", O_RDONLY);
    }
  }
}

CheckedOutput::CheckedOutput(int fd) : m_fd(fd) {
  setp(m_buffer, m_buffer + sizeof m_buffer);
}

CheckedOutput::~CheckedOutput() {
  if (!m_closed) {
    Flush();
  }
}

bool CheckedOutput::Write(const char *data, std::size_t count) {
  while (count > 0 && m_error == 0) {
    const ssize_t written = ::write(m_fd, data, count);
    if (written < 0) {
      if (errno != EINTR) {
        m_error = errno;
      }
      continue;
    }
    data += written;
    count -= static_cast<std::size_t>(written);
  }
  return m_error == 0;
}

bool CheckedOutput::Flush() {
  const bool ok = Write(pbase(), static_cast<std::size_t>(pptr() - pbase()));
  setp(m_buffer, m_buffer + sizeof m_buffer);
  return ok;
}

CheckedOutput::int_type CheckedOutput::overflow(int_type c) {
  if (!Flush()) {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize CheckedOutput::xsputn(const char *data, std::streamsize count) {
  const auto size = static_cast<std::size_t>(count);
  if (size <= static_cast<std::size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), data, size);
    pbump(static_cast<int>(size));
    return count;
  }
  if (!Flush() || !Write(data, size)) {
    return 0;
  }
  return count;
}

int CheckedOutput::sync() {
  return Flush() ? 0 : -1;
}

bool CheckedOutput::Close() {
  bool ok = Flush();
  m_closed = true;
  if (::close(m_fd) != 0 && errno != EINTR && m_error == 0) {
    m_error = errno;
  }
  return ok && m_error == 0;
}

std::string CheckedOutput::Error() const {
  return m_error == 0 ? std::string() : std::strerror(m_error);
}

} // namespace verdalia::cli
