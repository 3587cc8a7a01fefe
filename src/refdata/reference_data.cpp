#include "refdata/reference_data.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <new>
#include <optional>

#include "common/file_kind.h"
#include "common/path.h"
#include "common/text.h"

#include "refdata/mdb_source.h"
#include "refdata/sqlite_source.h"

namespace verdalia {

ReferenceDataError OpenError(const std::string &path, const std::string &why) {
  return ReferenceDataError("No se puede abrir la base de datos de referencia \"" + path +
                            "\": " + why);
}

ReferenceDataError LoadError(const std::string &path, const std::string &why) {
  return ReferenceDataError("No se puede cargar la base de datos de referencia \"" + path +
                            "\": " + why);
}

namespace {

// Every kind the database gives a line length must have definitions of a record type its
// files hold: without any, every file of the kind would pass whatever its fields hold. A
// kind with neither is one the database does not serve: its line length stays 0 and every
// file of it is refused at its first line. A record type without definitions (a header or
// control record, say) is only not checked.
void RequireFieldsToCheck(const ReferenceData &data, const std::string &path) {
  if (data.definitions.empty()) {
    FailLoad(path, "la tabla DefArchivo no tiene definiciones de campo");
  }
  for (const FileKind kind : kFileKinds) {
    if (data.LineLength(kind) == 0) {
      continue;
    }
    bool defined = false;
    for (const char type : FactsOf(kind).allowed_types) {
      defined = defined || !data.Definitions(kind, std::string_view(&type, 1)).empty();
    }
    if (!defined) {
      FailLoad(path, "la tabla DefArchivo no tiene definiciones de campo del TipoArchivo " +
                         std::to_string(NumberOf(kind)));
    }
  }
}

} // namespace

void CodeList::Append(std::string_view code) {
  m_codes.append(code);
  m_codes.push_back(kBrokenBar);
}

bool CodeList::Contains(std::string_view code) const {
  const std::string_view text = m_codes;
  if (code.empty() || code.find(kBrokenBar) != std::string_view::npos) {
    std::string needle(code);
    needle.push_back(kBrokenBar);
    return text.find(needle) != std::string_view::npos;
  }
  // A code without a bar of its own can only end right before a bar: the code of the list
  // that bar ends is compared, its last character first. Searching for the code's first
  // character instead stopped at nearly every code, which all begin with the same few.
  const std::size_t size = code.size();
  const char last = code.back();
  for (std::size_t bar = size; bar < text.size(); ++bar) {
    if (text[bar] == kBrokenBar && text[bar - 1] == last &&
        text.compare(bar - size, size, code) == 0) {
      return true;
    }
  }
  return false;
}

const std::vector<FieldDefinition> &ReferenceData::Definitions(FileKind kind,
                                                               std::string_view record_type) const {
  static const std::vector<FieldDefinition> kNone;
  const auto by_kind = m_byType.find(kind);
  if (by_kind == m_byType.end()) {
    return kNone;
  }
  const auto found = by_kind->second.find(record_type);
  return found == by_kind->second.end() ? kNone : found->second;
}

std::optional<Span> ReferenceData::SpanOfField(FileKind kind, std::string_view record_type,
                                               std::string_view name) const {
  if (name.empty()) {
    return std::nullopt;
  }
  const std::string wanted = UpperAscii(name);
  for (const FieldDefinition &definition : Definitions(kind, record_type)) {
    if (UpperAscii(definition.name) == wanted) {
      return Span{static_cast<std::size_t>(definition.start),
                  static_cast<std::size_t>(definition.length)};
    }
  }
  return std::nullopt;
}

void ReferenceData::Index() {
  // The positions of the definitions are sorted, and each definition copied once, in order.
  // A row of a TipoArchivo no kind has is kept as it was read, and no file's checks read it.
  std::map<FileKind, std::map<std::string, std::vector<std::size_t>, std::less<>>> positions;
  for (std::size_t i = 0; i < definitions.size(); ++i) {
    if (definitions[i].kind) {
      positions[*definitions[i].kind][definitions[i].record_type].push_back(i);
    }
  }
  m_byType.clear();
  for (auto &[kind, types] : positions) {
    for (auto &[type, order] : types) {
      // Null sorts before every value; equal keys keep the stored order.
      std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        const std::optional<double> &x = definitions[a].sequence;
        const std::optional<double> &y = definitions[b].sequence;
        if (!x || !y) {
          return !x && y;
        }
        return *x < *y;
      });
      std::vector<FieldDefinition> &defs = m_byType[kind][type];
      defs.reserve(order.size());
      for (const std::size_t i : order) {
        defs.push_back(definitions[i]);
      }
    }
  }
}

ReferenceData LoadReferenceData(const std::string &path) {
  std::optional<ReferenceData> data;
  try {
    if (IsAccessDatabasePath(path)) {
      const SqliteHandle db = ImportAccessDatabase(path);
      data = LoadFromConnection(db.get(), path);
    } else {
      const ReadOnlyDatabase db = OpenSqliteReadOnly(path);
      data = LoadFromConnection(db.get(), path);
    }
    RequireFieldsToCheck(*data, path);
  } catch (const std::bad_alloc &) {
    data.reset(); // room for the message
    throw OutOfMemory(path);
  }
  return std::move(*data);
}

std::string DefaultReferenceDatabasePath() {
  const std::filesystem::path base = FileSystemPath(ProgramFolder()) / "Base";
  const auto db = base / "verdalia7.db";
  const auto mdb = base / "verdalia7.mdb";
  std::error_code ec;
  if (!std::filesystem::exists(db, ec) && std::filesystem::exists(mdb, ec)) {
    return Utf8Path(mdb);
  }
  return Utf8Path(db);
}

} // namespace verdalia
