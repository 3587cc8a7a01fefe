#pragma once

#include <string>
#include <vector>

#include "common/result.h"

namespace verdalia {

enum class ListKind { Physical = 0, Logical = 1 };

// Every row as record number, TAB, field, TAB, message, CR LF, bytes unchanged (the rows
// are Windows-1252 already), but for a TAB, CR or LF inside a field name or a message (texts
// of the reference database may hold them), written as a blank so that every line keeps its
// three columns; an empty list gives an empty text.
std::string ErrorListText(const ResultList &rows);

// The error-list file of a data file: its path followed by ".err.fisico" or ".err.logico".
std::string ErrorListPath(const std::string &data_path, ListKind kind);

struct SaveResult {
  bool ok = true;
  std::string error; // UTF-8: the system's reason, when !ok
};

// Replaces the file whole (WriteFileAtomically): a failed or interrupted write leaves the
// previous list as it was and no other file.
SaveResult SaveErrorList(const std::string &path, const ResultList &rows);

struct ListFile {
  std::string path;
  const ResultList *rows;
};

// Saves the lists of one check together (WriteFilesAtomically): every one of them, or none,
// the previous lists then left as they were. On failure `failed` is the list it concerns.
SaveResult SaveErrorLists(const std::vector<ListFile> &lists, std::size_t &failed);

struct RemoveResult {
  bool ok = true;
  bool existed = false; // a list was there and is gone
  std::string error;    // UTF-8: the system's reason, when !ok
};

// Removes the error-list file at `path` when one is there; something other than a regular
// file of that name is left alone and reported.
RemoveResult RemoveErrorList(const std::string &path);

// "El listado de errores se guardo en el archivo " + the path.
Cp1252Text SavedMessage(const std::string &path);

} // namespace verdalia
