#pragma once

#include <streambuf>
#include <string>

namespace verdalia::cli {

// Gives each of the standard descriptors 0, 1 and 2 that the program was started without a
// stand-in (/dev/null, opened read-only): otherwise the first file the program opens would
// take its number, and the listing would be written into a database or an error list. Writes
// to a stand-in fail, so a closed standard output is reported like any other that fails.
void HoldStandardDescriptors();

// Standard output written with write(2), every failure kept: a full disk, a closed descriptor,
// a device that takes nothing. The stream writing to it turns bad at the first failure.
class CheckedOutput : public std::streambuf {
public:
  explicit CheckedOutput(int fd);
  ~CheckedOutput() override;
  CheckedOutput(const CheckedOutput &) = delete;
  CheckedOutput &operator=(const CheckedOutput &) = delete;

  // Writes what is buffered and closes the descriptor; false when any write, the flush or
  // the close failed, with Error() telling why.
  bool Close();
  std::string Error() const;

protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char *data, std::streamsize count) override;
  int sync() override;

private:
  bool Flush();
  bool Write(const char *data, std::size_t count);

  int m_fd;
  int m_error = 0; // the first failure's error number
  bool m_closed = false;
  char m_buffer[1 << 16];
};

} // namespace verdalia::cli
