#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "refdata/reference_data.h"
#include "support/printers.h"

namespace verdalia::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::filesystem::path &path() const { return m_path; }
  // Writes `bytes` unchanged to a file in the folder and returns its full path.
  std::string Write(const std::string &name, std::string_view bytes) const;

private:
  std::filesystem::path m_path;
};

// The six tables with the shipped columns and nothing in them; tests add their own rows.
extern const char *const kEmptySchemaSql;

// Builds an SQLite database file from SQL (UTF-8) and returns its path.
std::string MakeDatabase(const TempDir &dir, const std::string &sql,
                         const std::string &name = "ref.db");

// Builds a database from kEmptySchemaSql followed by `rows_sql`, and loads it.
ReferenceData LoadFromSql(const std::string &rows_sql);

// Reads a whole file as bytes.
std::string ReadBytes(const std::filesystem::path &path);

// Installs the file view's guard as each program's main does, so that files are viewed where
// they lie as the programs view them. False when it could not; Windows, which reads data
// files into memory and has no guard, always answers true.
bool ViewFilesAsTheProgramsDo();

} // namespace verdalia::testing
