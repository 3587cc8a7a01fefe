#pragma once

#include <array>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/file_kind.h"
#include "common/record_layout.h"

namespace verdalia {

// A start-up failure of the reference database: the text is the whole message for the
// operator, the engine's own description included.
class ReferenceDataError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The two refusals of a reference database, in the operator's words: one that cannot be
// opened (missing, no database, no room for a copy), and one whose contents cannot be
// loaded. `path` names the database; `why` ends the message.
ReferenceDataError OpenError(const std::string &path, const std::string &why);
ReferenceDataError LoadError(const std::string &path, const std::string &why);
[[noreturn]] inline void FailOpen(const std::string &path, const std::string &why) {
  throw OpenError(path, why);
}
[[noreturn]] inline void FailLoad(const std::string &path, const std::string &why) {
  throw LoadError(path, why);
}

// One row of DefArchivo, each column under an English name (the column is named beside it).
// Texts are Windows-1252; Null stays distinct from empty text in the optional columns. Rows
// that could not be applied are refused at load, so the mandatory columns are always usable.
struct FieldDefinition {
  std::optional<FileKind> kind;            // TipoArchivo; none for a number no kind has
  std::string record_type;                 // TipoRegistro
  std::optional<double> sequence;          // Sec: the sort key; Null sorts first
  std::string name;                        // Campo
  int start = 1;                           // PosicionInicial, from 1
  int length = 0;                          // Largo
  std::string type;                        // Tipo
  std::optional<int> decimals;             // DECIMALES
  std::optional<std::string> obligatory;   // Obligatorio
  std::optional<std::string> valid_values; // ValoresValidos
  std::optional<std::string> message;      // ErrorFisico
};

// The valid codes of one kind, each followed by the broken bar (byte 0xA6), searched as
// text: a code is valid when the code followed by the bar occurs anywhere in the string.
class CodeList {
public:
  CodeList() = default;
  explicit CodeList(std::string codes) : m_codes(std::move(codes)) {}

  void Append(std::string_view code);
  bool Contains(std::string_view code) const;
  const std::string &Text() const { return m_codes; }

private:
  std::string m_codes;
};

inline constexpr char kBrokenBar = '\xA6';

// What start-up loads, in the order it loads it: all field definitions, the line length of
// each kind, and the commune and crop codes.
class ReferenceData {
public:
  std::vector<FieldDefinition> definitions; // every row of DefArchivo, in the stored order
  std::array<int, 4> line_lengths{}; // TipoArchivo's, indexed 1 to 3 by its number; 0 when missing
  CodeList commune_codes;            // COMUNA
  CodeList crop_codes;               // CULTIVO

  // The definitions of one kind and record type in ascending Sec (ties keep the stored
  // order); empty when there are none. Prepared once, by Index().
  const std::vector<FieldDefinition> &Definitions(FileKind kind,
                                                  std::string_view record_type) const;
  // The kind's line length; 0 when TipoArchivo does not give one.
  int LineLength(FileKind kind) const {
    return line_lengths[static_cast<std::size_t>(NumberOf(kind))];
  }

  // Where the definitions of a kind and record type place the field named `name` (compared
  // upper-cased); none when no definition does.
  std::optional<Span> SpanOfField(FileKind kind, std::string_view record_type,
                                  std::string_view name) const;

  // Groups the definitions by kind and record type, sorted by Sec. Called by the loaders.
  void Index();

private:
  std::map<FileKind, std::map<std::string, std::vector<FieldDefinition>, std::less<>>> m_byType;
};

// Opens the reference database read-only and loads it. A path ending in ".mdb" or ".accdb"
// (any case) is read as an Access database; every other path as SQLite. A database that
// cannot serve, does not load within the bounds of time and memory set for it, or would let
// the files of a kind pass unchecked (no definitions at all, or none of a kind that has a
// line length) is refused; so is a load that runs out of memory.
// Throws ReferenceDataError, whose text is UTF-8 (it may carry the path).
ReferenceData LoadReferenceData(const std::string &path);

// The default location: "Base/verdalia7.db" in the folder of the running program, or,
// when only that folder's "verdalia7.mdb" exists, the Access database.
std::string DefaultReferenceDatabasePath();

} // namespace verdalia
