#pragma once

#include <string>

#include "common/result.h"

namespace verdalia {

enum class ListKind { Physical = 0, Logical = 1 };

// Every row as record number, TAB, field, TAB, message, CR LF, bytes unchanged (the rows
// are Windows-1252 already); an empty list gives an empty text.
std::string ErrorListText(const ResultList &rows);

// The error-list file of a data file: its path followed by ".err.fisico" or ".err.logico".
std::string ErrorListPath(const std::string &data_path, ListKind kind);

struct SaveResult {
  bool ok = true;
  std::string error; // UTF-8: the system's reason, when !ok
};

// Replaces the file whole: the text goes to a temporary file in the same folder, which is
// then renamed over the old one, so a failed write leaves the previous list as it was.
SaveResult SaveErrorList(const std::string &path, const ResultList &rows);

// "El listado de errores se guardo en el archivo " + the path (Windows-1252).
std::string SavedMessage(const std::string &path);

} // namespace verdalia
