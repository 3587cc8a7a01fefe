#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace verdalia::testing {

// Writes small Microsoft Access (Jet) database files for the tests, page by page: the header
// page, one usage-map page, the catalog (MSysObjects) and, for every table, its definition
// page and data pages, plus long-value pages for long memo texts. No indexes, relationships
// or properties: enough for any reader of the tables, nothing more. The layout follows the
// file-format notes that come with libmdb.

enum class JetVersion {
  Jet3,  // Access 97: 2 KB pages, texts in the Windows-1252 code page
  Jet4,  // Access 2000 to 2003: 4 KB pages, texts in UCS-2 (optionally compressed)
  Ace12, // Access 2007 (.accdb): the Jet 4 layout under another version byte
};

enum class JetType { Byte, Integer, Long, Single, Double, Currency, Text, Memo };

struct JetColumn {
  std::string name; // UTF-8
  JetType type = JetType::Text;
  int size = 255; // Text: the most characters a value may have
};

struct JetNull {};
// A cell: Null, a whole number, a floating number, or a text in UTF-8.
using JetValue = std::variant<JetNull, std::int64_t, double, std::string>;

struct JetTable {
  std::string name; // UTF-8
  std::vector<JetColumn> columns;
  std::vector<std::vector<JetValue>> rows;
  // Traces that editing in Access leaves on the pages. Rows listed in `deleted` stay on their
  // page with the deleted flag, as a deleted record does until the file is compacted; rows
  // listed in `moved` leave only a pointer in their slot and live on a later page, as a
  // record that outgrew its page after an update. Indexes into `rows`.
  std::vector<std::size_t> deleted;
  std::vector<std::size_t> moved;
};

struct JetOptions {
  JetVersion version = JetVersion::Jet4;
  // Jet 4: store texts in the compressed form where it is shorter, as Access does for
  // columns with "Unicode compression"; otherwise always plain UCS-2.
  bool compress_text = true;
  // Memo texts whose stored form is longer than this go to a long-value page.
  std::size_t inline_memo_limit = 64;
  // When not 0, a long memo text longer than this is cut into pieces of this size, each on
  // a long-value row that points at the next, as Access stores a text longer than a page.
  std::size_t long_value_chunk = 0;
  // Names the catalog lists as tables linked from another database, without tables here.
  std::vector<std::string> linked_tables;
};

// Writes a new database file (replacing `path`). Throws std::runtime_error when a value does
// not fit its column or a table does not fit the pages this writer lays out.
void WriteJetDatabase(const std::string &path, const std::vector<JetTable> &tables,
                      const JetOptions &options = {});

// The named tables of an SQLite database, with their columns in order and their rows in the
// order "SELECT *" returns them (the order the loader meets them in). A column whose non-Null
// values are all whole numbers within 32 bits becomes Long, one with any other number (and no
// text) Double, anything else Text (Memo when some value is longer than 255 characters, and
// numbers among texts as the texts SQLite gives them); a column without values follows its
// declared type.
std::vector<JetTable> ReadSqliteTables(const std::string &sqlite_path,
                                       const std::vector<std::string> &names);

// The six reference tables of an SQLite reference database written as an Access file.
void ConvertReferenceDatabase(const std::string &sqlite_path, const std::string &access_path,
                              const JetOptions &options = {});

// Runs one of mdbtools' command-line readers (mdb-ver, mdb-tables, mdb-export, mdb-schema,
// mdb-count), the tool's name first and then its arguments, and returns what it writes to
// standard output; throws when the tool is missing or fails. The tests' independent reader
// of what this writer writes.
std::string MdbTool(const std::vector<std::string> &command);

} // namespace verdalia::testing
