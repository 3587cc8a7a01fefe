// Access databases: the check of the file's header page that every build makes, and on
// Linux the reader through libmdb: the walk of a table's pages that refuses a damaged file
// (usage maps, data pages, moved records, long values, record counts) and the copy of each
// table into SQLite. libmdb's output is kept apart by mdb_output.h, the stored values are
// decoded by jet_values.h, and the SQLite side is shared with the Windows reader
// (access_copy.h).
#include "refdata/mdb_source.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string_view>

#ifdef VERDALIA_HAVE_MDB
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <sys/stat.h>

#include <mdbtools.h>
#endif

#include "common/path.h"
#include "refdata/access_copy.h"
#ifdef VERDALIA_HAVE_MDB
#include "refdata/jet_values.h"
#include "refdata/mdb_output.h"
#endif
#ifdef VERDALIA_ACCESS_THROUGH_ODBC
#include "refdata/windows/access_odbc.h"
#endif

namespace verdalia {

bool IsAccessDatabasePath(const std::string &path) {
  std::string lower(path);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.ends_with(".mdb") || lower.ends_with(".accdb");
}

namespace {

// Refuses, before the library sees it, a path that is missing or that is no Jet or ACE
// database: every Access file begins with a header page that names its engine.
void CheckAccessFile(const std::string &path) {
  std::error_code ec;
  const auto status = std::filesystem::status(FileSystemPath(path), ec);
  if (!std::filesystem::exists(status)) {
    FailOpen(path, "el archivo no existe");
  }
  if (std::filesystem::is_directory(status)) {
    FailOpen(path, "es una carpeta");
  }
  if (!std::filesystem::is_regular_file(status)) {
    FailOpen(path, "no es un archivo regular"); // a pipe would wait for a writer
  }
  std::ifstream in(FileSystemPath(path), std::ios::binary);
  if (!in) {
    FailOpen(path, "no se puede leer el archivo");
  }
  std::array<char, 0x15> head{};
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  const std::string_view engine(head.data() + 4, 15);
  if (!in || head[0] != 0 || (engine != "Standard Jet DB" && engine != "Standard ACE DB")) {
    FailOpen(path, "el archivo no es una base de datos de Access");
  }
}

} // namespace

#if defined(VERDALIA_ACCESS_THROUGH_ODBC)

SqliteHandle ImportAccessDatabase(const std::string &path) {
  CheckAccessFile(path);
  return ImportAccessThroughOdbc(path);
}

#elif !defined(VERDALIA_HAVE_MDB)

SqliteHandle ImportAccessDatabase(const std::string &path) {
  CheckAccessFile(path);
  FailOpen(path, "esta compilación no lee bases de datos de Access (falta libmdb)");
}

#else

namespace {

// The words the refusals use when the library complained and our checks found nothing.
constexpr const char *kLibraryComplained = "el lector de Access avisó de un daño";

// Row-offset flags of a data page: a deleted record keeps its slot with the high bit set; a
// slot with only the next bit holds a pointer to where an updated record now lives.
constexpr int kDeletedRow = 0x8000;
constexpr int kMovedRow = 0x4000;
constexpr int kOffsetMask = 0x1FFF;
// Pointers of a moved record are followed this many times at most.
constexpr int kMaxHops = 8;

struct MdbCloser {
  void operator()(MdbHandle *mdb) const { mdb_close(mdb); }
};
struct TableCloser {
  void operator()(MdbTableDef *table) const { mdb_free_tabledef(table); }
};

// libmdb follows a table's usage map without looking at its size: a map it could not find is
// a null pointer, and a bitmap map needs its 5-byte head before any bit.
bool UsableUsageMap(const MdbTableDef &table) {
  return table.usage_map != nullptr && table.map_sz >= 1 &&
         (table.usage_map[0] != 0 || table.map_sz >= 5);
}

// The open file and its length. libmdb reads a page that the file cuts short, or one that
// begins where the file ends, as zeros and calls it read: whether a page is there at all is
// asked of the length.
struct AccessFile {
  MdbHandle *mdb = nullptr;
  std::uint64_t size = 0;

  std::uint64_t PageSize() const { return static_cast<std::uint64_t>(mdb->fmt->pg_size); }

  // Why a page is not there to be read, or "" when it is.
  std::string Missing(std::uint64_t page) const {
    if ((page + 1) * PageSize() <= size) {
      return {};
    }
    return std::string("el archivo termina ") +
           (page * PageSize() < size ? "en medio de" : "antes de") + " la página " +
           std::to_string(page);
  }
};

std::string PageText(std::uint32_t page) { return "la página " + std::to_string(page); }

// A record's span lies within its page.
bool RowInPage(const MdbHandle &mdb, int start, std::size_t size) {
  const auto offset = static_cast<std::size_t>(start & kOffsetMask);
  return size > 0 && offset + size <= static_cast<std::size_t>(mdb.fmt->pg_size);
}

// The live records of the page in the handle's buffer, in slot order, each handed to
// visit(start, size, moved); deleted ones are skipped. Returns what is wrong, or "".
template <typename Visit> std::string ForEachLiveRow(MdbHandle *mdb, Visit visit) {
  const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
  for (int r = 0; r < rows; ++r) {
    int start = 0;
    std::size_t size = 0;
    if (mdb_find_row(mdb, r, &start, &size) != 0) {
      return "un registro está dañado";
    }
    if (start & kDeletedRow) {
      continue;
    }
    if (!RowInPage(*mdb, start, size)) {
      return "un registro está dañado";
    }
    visit(start & kOffsetMask, size, (start & kMovedRow) != 0);
  }
  return {};
}

// Every page of a table's usage map in turn, read into the handle's buffer and checked
// before visit(page) reads its records: there in the file, a data page, and the table's
// own (a data page names the definition page of its table). libmdb's own walk skips such a
// page with a warning, or searches the whole file for the table's pages when it cannot
// read the map. Returns what is wrong, or "".
template <typename Visit>
std::string ForEachDataPage(const AccessFile &file, const MdbTableDef &table,
                            std::uint32_t owner, Visit visit) {
  MdbHandle *mdb = file.mdb;
  std::uint32_t page = 0;
  for (;;) {
    const gint32 next = mdb_map_find_next(mdb, table.usage_map,
                                          static_cast<unsigned int>(table.map_sz), page);
    if (next == 0) {
      return {};
    }
    // The map's pages come in rising order; any other answer is a map gone wrong.
    if (next < 0 || static_cast<std::uint32_t>(next) <= page) {
      return "su mapa de páginas está dañado";
    }
    page = static_cast<std::uint32_t>(next);
    if (std::string missing = file.Missing(page); !missing.empty()) {
      return missing;
    }
    if (mdb_read_pg(mdb, page) != mdb->fmt->pg_size) {
      return "no se puede leer " + PageText(page);
    }
    if (mdb->pg_buf[0] != MDB_PAGE_DATA) {
      return PageText(page) + " de su mapa no es una página de datos";
    }
    if (Le32(mdb->pg_buf + 4) != owner) {
      return PageText(page) + " de su mapa no le pertenece";
    }
    visit(page);
  }
}

// Jet keeps a table's record count in its definition: a page lost or a record skipped
// without any other sign shows there.
std::string CountFault(const MdbTableDef &table, std::size_t read) {
  if (read == table.num_rows) {
    return {};
  }
  return "dice tener " + std::to_string(table.num_rows) + " registros y se leyeron " +
         std::to_string(read);
}

// SQLite's declared type for an Access column type: numbers keep their kind.
const char *DeclaredType(int col_type) {
  switch (col_type) {
  case MDB_BOOL:
  case MDB_BYTE:
  case MDB_INT:
  case MDB_LONGINT:
  case MDB_COMPLEX:
    return "INTEGER";
  case MDB_MONEY:
  case MDB_FLOAT:
  case MDB_DOUBLE:
  case MDB_NUMERIC:
    return "REAL";
  case MDB_BINARY:
  case MDB_OLE:
    return "BLOB";
  default:
    return "TEXT";
  }
}

class TableCopier {
public:
  TableCopier(const AccessFile &file, const std::string &path, const std::string &name)
      : m_file(file), m_mdb(file.mdb), m_path(path), m_name(name),
        m_jet3(file.mdb->f->jet_version == MDB_VER_JET3) {}

  void Copy(MdbCatalogEntry *entry, sqlite3 *db);

private:
  [[noreturn]] void Unreadable(const std::string &what) const {
    FailLoad(m_path, "la tabla " + m_name + " no se puede leer: " + what);
  }
  void CopyRow(int start, std::size_t size);
  void CopyMovedRow(int start, std::size_t size, std::uint32_t page);
  Cell ReadCell(const MdbColumn &column, const MdbField &field);
  Cell NumericCell(const MdbColumn &column, const MdbField &field);
  void CreateTable();
  void CopyRows();
  std::string LongValue(const unsigned char *header, std::size_t size);
  std::string_view LongValueRow(std::uint32_t pg_row);

  const AccessFile &m_file;
  MdbHandle *m_mdb;
  const std::string &m_path;
  std::string m_name;
  bool m_jet3;
  MdbTableDef *m_table = nullptr;
  std::optional<TableWriter> m_writer;
  sqlite3 *m_db = nullptr;
  std::vector<MdbField> m_fields;
  std::size_t m_rows = 0;
};

std::string_view TableCopier::LongValueRow(std::uint32_t pg_row) {
  // libmdb reads the page and the row's span without asking whether the page holds long
  // values or has that row: a pointer gone astray would read whatever lies there.
  void *buf = nullptr;
  int start = 0;
  std::size_t len = 0;
  if (!m_file.Missing(pg_row >> 8).empty() ||
      mdb_find_pg_row(m_mdb, static_cast<int>(pg_row), &buf, &start, &len) != 0) {
    Unreadable("un valor largo apunta fuera del archivo");
  }
  const auto *page = static_cast<const unsigned char *>(buf);
  const auto page_size = static_cast<std::size_t>(m_mdb->fmt->pg_size);
  const int rows = mdb_get_int16(buf, m_mdb->fmt->row_count_offset);
  const auto offset = static_cast<std::size_t>(start & kOffsetMask);
  if (page[0] != MDB_PAGE_DATA || std::memcmp(page + 4, "LVAL", 4) != 0 ||
      static_cast<int>(pg_row & 0xFF) >= rows || offset + len > page_size) {
    Unreadable("un valor largo apunta a una página ajena");
  }
  return std::string_view(reinterpret_cast<const char *>(page) + offset, len);
}

std::string TableCopier::LongValue(const unsigned char *header, std::size_t size) {
  // A 12-byte header: the length with two flag bits, then where the bytes are. The bytes
  // follow the header (inline), fill one row of a long-value page, or run through a chain
  // of such rows, each beginning with the pointer to the next.
  if (size < MDB_MEMO_OVERHEAD) {
    return std::string();
  }
  const std::uint32_t length = Le32(header);
  if (length & 0x80000000u) {
    return std::string(reinterpret_cast<const char *>(header) + MDB_MEMO_OVERHEAD,
                       size - MDB_MEMO_OVERHEAD);
  }
  std::uint32_t pg_row = Le32(header + 4);
  if (length & 0x40000000u) {
    return std::string(LongValueRow(pg_row));
  }
  if ((length & 0xFF000000u) != 0) {
    Unreadable("un valor largo tiene un formato desconocido");
  }
  std::string out;
  const std::size_t total = length;
  while (pg_row != 0 && out.size() < total) {
    // Every link carries some of the value, so a chain that loops ends with the length.
    const std::string_view piece = LongValueRow(pg_row);
    if (piece.size() <= 4) {
      Unreadable("un valor largo apunta fuera del archivo");
    }
    pg_row = Le32(reinterpret_cast<const unsigned char *>(piece.data()));
    out.append(piece.substr(4));
  }
  if (out.size() > total) {
    out.resize(total);
  }
  return out;
}

Cell TableCopier::ReadCell(const MdbColumn &column, const MdbField &field) {
  if (column.col_type == MDB_BOOL) {
    // A yes/no column lives in the row's null mask: set is yes.
    return IntegerCell(field.is_null ? 0 : 1);
  }
  if (field.is_null) {
    return Cell{};
  }
  const auto *p = static_cast<const unsigned char *>(field.value);
  const auto size = static_cast<std::size_t>(std::max(field.siz, 0));
  if (size < FixedSize(column.col_type)) {
    Unreadable("la columna " + std::string(column.name) + " es más corta que su tipo");
  }
  switch (column.col_type) {
  case MDB_BYTE:
    return IntegerCell(p[0]);
  case MDB_INT:
    return IntegerCell(static_cast<std::int16_t>(p[0] | (p[1] << 8)));
  case MDB_LONGINT:
  case MDB_COMPLEX:
    return IntegerCell(static_cast<std::int32_t>(Le32(p)));
  case MDB_MONEY:
    // Currency counts ten-thousandths.
    return RealCell(static_cast<double>(static_cast<std::int64_t>(Le64(p))) / 10000.0);
  case MDB_FLOAT:
    return RealCell(FloatOf(p));
  case MDB_DOUBLE:
    return RealCell(DoubleOf(p));
  case MDB_DATETIME:
    return TextCell(DateTimeText(p));
  case MDB_NUMERIC:
    return NumericCell(column, field);
  case MDB_REPID:
    return TextCell(ReplicationIdText(p));
  case MDB_TEXT:
    return TextCell(JetTextToUtf8(p, size, m_jet3));
  case MDB_MEMO: {
    const std::string stored = LongValue(p, size);
    return TextCell(JetTextToUtf8(reinterpret_cast<const unsigned char *>(stored.data()),
                                  stored.size(), m_jet3));
  }
  case MDB_OLE:
    return BlobCell(LongValue(p, size));
  default:
    return BlobCell(std::string(reinterpret_cast<const char *>(p), size));
  }
}

// A decimal column: a number where its digits make one, its digits as text where not.
Cell TableCopier::NumericCell(const MdbColumn &column, const MdbField &field) {
  char *digits = mdb_numeric_to_string(m_mdb, field.start, column.col_scale, column.col_prec);
  const std::string value = digits ? digits : "";
  g_free(digits);
  double d = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), d);
  if (ec == std::errc() && end == value.data() + value.size()) {
    return RealCell(d);
  }
  return TextCell(value);
}

void TableCopier::CopyRow(int start, std::size_t size) {
  if (mdb_crack_row(m_table, start, size, m_fields.data()) < 0) {
    Unreadable("un registro está dañado");
  }
  for (unsigned int i = 0; i < m_table->num_cols; ++i) {
    const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(m_table->columns, i));
    m_writer->Set(i, ReadCell(*column, m_fields[i]));
  }
  m_writer->AddRow();
}

// A record that outgrew its slot: the slot holds the page and row of its new place (which
// is itself marked deleted, so the page scan does not meet it there).
void TableCopier::CopyMovedRow(int start, std::size_t size, std::uint32_t page) {
  std::uint32_t pg_row = 0;
  for (int hop = 0;; ++hop) {
    if (size < 4 || hop == kMaxHops) {
      Unreadable("un registro trasladado no se encuentra");
    }
    pg_row = Le32(m_mdb->pg_buf + start);
    const std::uint32_t target = pg_row >> 8;
    if (!m_file.Missing(target).empty()) {
      Unreadable("un registro trasladado apunta fuera del archivo");
    }
    if (mdb_read_pg(m_mdb, target) != m_mdb->fmt->pg_size || m_mdb->pg_buf[0] != MDB_PAGE_DATA ||
        static_cast<unsigned long>(Le32(m_mdb->pg_buf + 4)) != m_table->entry->table_pg) {
      Unreadable("un registro trasladado apunta a una página ajena");
    }
    const int rows = mdb_get_int16(m_mdb->pg_buf, m_mdb->fmt->row_count_offset);
    const int row = static_cast<int>(pg_row & 0xFF);
    if (row >= rows || mdb_find_row(m_mdb, row, &start, &size) != 0 ||
        !RowInPage(*m_mdb, start, size)) {
      Unreadable("un registro trasladado no se encuentra");
    }
    const bool moved_again = (start & kMovedRow) != 0;
    start &= kOffsetMask;
    if (!moved_again) {
      CopyRow(start, size);
      break;
    }
  }
  if (mdb_read_pg(m_mdb, page) != m_mdb->fmt->pg_size) {
    Unreadable("no se puede volver a leer la página " + std::to_string(page));
  }
}

void TableCopier::Copy(MdbCatalogEntry *entry, sqlite3 *db) {
  m_db = db;
  if (std::string missing = m_file.Missing(entry->table_pg); !missing.empty()) {
    Unreadable(missing);
  }
  std::unique_ptr<MdbTableDef, TableCloser> table(mdb_read_table(entry));
  if (!table || !mdb_read_columns(table.get())) {
    Unreadable("su definición está dañada");
  }
  m_table = table.get();
  if (m_table->num_cols == 0) {
    Unreadable("no tiene columnas");
  }
  if (!UsableUsageMap(*m_table)) {
    Unreadable("su mapa de páginas está dañado");
  }
  CreateTable();
  CopyRows();
}

// The table in SQLite, its columns in the same order.
void TableCopier::CreateTable() {
  std::vector<TableWriter::Column> columns;
  for (unsigned int i = 0; i < m_table->num_cols; ++i) {
    const auto *column = static_cast<const MdbColumn *>(g_ptr_array_index(m_table->columns, i));
    columns.push_back({column->name, DeclaredType(column->col_type)});
  }
  m_writer.emplace(m_db, m_path, m_name, columns);
  m_fields.assign(m_table->num_cols, MdbField{});
}

// Every data page the table owns, in the order of its usage map, and every slot of each
// page in order: the order in which Access itself returns the records of a table.
void TableCopier::CopyRows() {
  const std::string fault =
      ForEachDataPage(m_file, *m_table, m_table->entry->table_pg, [&](std::uint32_t page) {
        const std::string row_fault =
            ForEachLiveRow(m_mdb, [&](int start, std::size_t size, bool moved) {
              if (moved) {
                CopyMovedRow(start, size, page);
              } else {
                CopyRow(start, size);
              }
              ++m_rows;
            });
        if (!row_fault.empty()) {
          Unreadable(row_fault);
        }
      });
  if (!fault.empty()) {
    Unreadable(fault);
  }
  if (std::string count = CountFault(*m_table, m_rows); !count.empty()) {
    Unreadable(count);
  }
}

// The catalog is a table too (its definition on page 2), which libmdb walks by its usage map
// like any other, skipping what it cannot read: its map and its pages are looked at first,
// and its records counted. Returns what is wrong, or "".
std::string CatalogFault(const AccessFile &file) {
  if (std::string missing = file.Missing(2); !missing.empty()) {
    return missing;
  }
  MdbCatalogEntry catalog{};
  catalog.mdb = file.mdb;
  catalog.object_type = MDB_TABLE;
  catalog.table_pg = 2;
  std::snprintf(catalog.object_name, sizeof catalog.object_name, "%s", "MSysObjects");
  const std::unique_ptr<MdbTableDef, TableCloser> table(mdb_read_table(&catalog));
  if (!table) {
    return "su definición está dañada";
  }
  if (!UsableUsageMap(*table)) {
    return "su mapa de páginas está dañado";
  }
  std::size_t rows = 0;
  std::string row_fault;
  const std::string page_fault =
      ForEachDataPage(file, *table, catalog.table_pg, [&](std::uint32_t) {
        if (row_fault.empty()) {
          row_fault = ForEachLiveRow(file.mdb, [&](int, std::size_t, bool) { ++rows; });
        }
      });
  if (!page_fault.empty()) {
    return page_fault;
  }
  return row_fault.empty() ? CountFault(*table, rows) : row_fault;
}

MdbCatalogEntry *FindObject(MdbHandle *mdb, const char *name, int type) {
  for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
    auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == type && g_ascii_strcasecmp(entry->object_name, name) == 0) {
      return entry;
    }
  }
  return nullptr;
}

} // namespace

SqliteHandle ImportAccessDatabase(const std::string &path) {
  CheckAccessFile(path);
  const LibraryOutput output;
  std::unique_ptr<MdbHandle, MdbCloser> mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
  if (!mdb) {
    FailOpen(path, "el archivo no es una base de datos de Access");
  }
  struct stat status {};
  if (fstat(fileno(mdb->f->stream), &status) != 0) {
    FailOpen(path, "no se puede leer el archivo");
  }
  const AccessFile file{mdb.get(), static_cast<std::uint64_t>(status.st_size)};
  std::string why = CatalogFault(file);
  const bool read = why.empty() && mdb_read_catalog(mdb.get(), MDB_ANY) != nullptr;
  if (read && output.Written()) {
    why = kLibraryComplained;
  }
  if (!read || !why.empty()) {
    FailOpen(path, "no se puede leer el catálogo de la base de datos de Access" +
                       (why.empty() ? "" : ": " + why));
  }
  std::array<MdbCatalogEntry *, kAccessTables.size()> entries{};
  for (std::size_t t = 0; t < kAccessTables.size(); ++t) {
    entries[t] = FindObject(mdb.get(), kAccessTables[t], MDB_TABLE);
    if (!entries[t] && FindObject(mdb.get(), kAccessTables[t], MDB_LINKED_TABLE)) {
      // A front-end database: the rows live in the database the link points to.
      FailLoad(path, std::string("la tabla ") + kAccessTables[t] +
                         " está vinculada desde otra base de datos; indique la base de datos "
                         "que la contiene");
    }
    if (!entries[t]) {
      FailLoad(path, std::string("falta la tabla ") + kAccessTables[t]);
    }
  }

  SqliteHandle db = NewAccessCopy(path);
  sqlite3 *raw = db.get();
  for (std::size_t t = 0; t < kAccessTables.size(); ++t) {
    TableCopier(file, path, kAccessTables[t]).Copy(entries[t], raw);
    if (output.Written()) {
      FailLoad(path, std::string("la tabla ") + kAccessTables[t] +
                         " no se puede leer: " + kLibraryComplained);
    }
  }
  // Every table read whole, but a file that ends inside a page was cut short all the same
  // (Jet writes whole pages), and what it lost is not known.
  if (file.size % file.PageSize() != 0) {
    FailLoad(path, file.Missing(file.size / file.PageSize()));
  }
  sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
  return db;
}

#endif

} // namespace verdalia
