#include "reports/error_list_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "common/atomic_file.h"
#include "common/windows1252.h"

namespace verdalia {

namespace {

// A text of a row with the bytes that would end a column or a line made blanks.
void AppendCell(std::string &text, std::string_view cell) {
  const std::size_t from = text.size();
  text += cell;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '\t' || text[i] == '\r' || text[i] == '\n') {
      text[i] = ' ';
    }
  }
}

} // namespace

std::string ErrorListText(const ResultList &rows) {
  std::string text;
  for (const ResultRow &row : rows) {
    text += std::to_string(row.record);
    text += '\t';
    AppendCell(text, row.field.bytes());
    text += '\t';
    AppendCell(text, row.message.bytes());
    text += "\r\n";
  }
  return text;
}

std::string ErrorListPath(const std::string &data_path, ListKind kind) {
  return data_path + (kind == ListKind::Logical ? ".err.logico" : ".err.fisico");
}

// A list whose text does not fit in the memory left is not saved, and the previous one stays.
constexpr const char *kNoMemory = "no hay memoria suficiente";

SaveResult SaveErrorList(const std::string &path, const ResultList &rows) {
  try {
    const WriteOutcome written = WriteFileAtomically(path, ErrorListText(rows));
    return {written.ok, written.reason};
  } catch (const std::bad_alloc &) {
    return {false, kNoMemory};
  }
}

SaveResult SaveErrorLists(const std::vector<ListFile> &lists, std::size_t &failed) {
  failed = 0;
  try {
    std::vector<std::string> texts;
    std::vector<FileWrite> files;
    texts.reserve(lists.size());
    files.reserve(lists.size());
    for (failed = 0; failed < lists.size(); ++failed) {
      texts.push_back(ErrorListText(*lists[failed].rows));
      files.push_back({lists[failed].path, texts.back()});
    }
    const WriteOutcome written = WriteFilesAtomically(files, failed);
    return {written.ok, written.reason};
  } catch (const std::bad_alloc &) {
    failed = std::min(failed, lists.empty() ? 0 : lists.size() - 1);
    return {false, kNoMemory};
  }
}

RemoveResult RemoveErrorList(const std::string &path) {
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) != 0) {
    if (errno == ENOENT) {
      return {};
    }
    return {false, false, std::strerror(errno)};
  }
  if (!S_ISREG(existing.st_mode)) {
    return {false, false, "no es un archivo regular"};
  }
  if (::unlink(path.c_str()) != 0) {
    return {false, false, std::strerror(errno)};
  }
  return {true, true, {}};
}

Cp1252Text SavedMessage(const std::string &path) {
  return Cp1252Text("El listado de errores se guardo en el archivo " + Utf8ToWindows1252(path));
}

} // namespace verdalia
