#pragma once

// The body of the Access harness (fuzz_access.cpp), shared with the test that replays its
// kept inputs (tests/refdata/test_mdb_source.cpp) like the bodies in targets.h.
//
// A damaged Access database must be refused or read whole, never half. The input damages a
// copy of one of the checked-in Access files, and the harness asks that the result either be
// refused with its message or load to exactly what the intact file loads to.
//
// Jet keeps no checksum, so damage the reader cannot see is easily made: a byte changed inside
// a record, a page swapped with another page of the same table holding as many records, a
// page taken from one table and the record count edited to match. The damage is therefore
// drawn from what the reader is meant to see: any number of cuts of the file, pages filled
// with one byte and bytes changed among the usage maps (page 1 of each file), which only lose
// or scramble information; and at most one change that could forge it: a page copied over a
// page that is not a data page of the same owner, a byte among the first eight of a page
// (type, owner, the definition's continuation), or a definition's pointer to its usage map.
// Together these can take pages from a table, give it another table's pages or a foreign
// definition, but never keep its record count while doing so.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "common/path.h"
#include "refdata/mdb_source.h"
#include "refdata/reference_data.h"

namespace verdalia::fuzz {

// Every value of the six tables as the import copied them, with its type.
inline std::string TablesText(sqlite3 *db) {
  std::string out;
  for (const char *table :
       {"DefArchivo", "TipoArchivo", "COMUNA", "CULTIVO", "TipoCultivoUniFisc", "RegionComunaZHS"}) {
    out += std::string("-- ") + table + "\n";
    sqlite3_stmt *stmt = nullptr;
    const std::string sql = std::string("SELECT * FROM \"") + table + "\"";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      out += "(no table)\n";
      continue;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(stmt, c));
        out += std::to_string(sqlite3_column_type(stmt, c)) + ":" +
               std::string(bytes ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, c))) +
               "|";
      }
      out += "\n";
    }
    sqlite3_finalize(stmt);
  }
  return out;
}

inline std::string OptionalText(const std::optional<std::string> &text) {
  return text ? "'" + *text + "'" : "null";
}

// What start-up keeps of a database, as text.
inline std::string ReferenceText(const ReferenceData &data) {
  std::string out;
  for (const FieldDefinition &d : data.definitions) {
    out += (d.kind ? std::to_string(NumberOf(*d.kind)) : "none") + "|" + d.record_type + "|" +
           (d.sequence ? std::to_string(*d.sequence) : "null") + "|" + d.name + "|" +
           std::to_string(d.start) + "|" + std::to_string(d.length) + "|" + d.type + "|" +
           (d.decimals ? std::to_string(*d.decimals) : "null") + "|" + OptionalText(d.obligatory) +
           "|" + OptionalText(d.valid_values) + "|" + OptionalText(d.message) + "\n";
  }
  for (const int length : data.line_lengths) {
    out += std::to_string(length) + " ";
  }
  return out + "\n" + data.commune_codes.Text() + "\n" + data.crop_codes.Text() + "\n";
}

// One checked-in Access file and what it loads to, intact.
// What the reader and the loader make of an Access file, before start-up judges whether its
// definitions leave a kind unchecked (edited.mdb does): damage is the reader's to find.
inline ReferenceData LoadAccess(const std::string &path) {
  return LoadFromConnection(ImportAccessDatabase(path).get(), path);
}

struct AccessBase {
  std::string bytes;
  std::size_t page_size = 4096;
  std::size_t map_pointer = 55; // where a definition page keeps its usage map's row and page
  std::string tables;           // TablesText of its import
  std::string reference;        // ReferenceText of its load
};

inline std::vector<AccessBase> LoadAccessBases(const std::string &fixtures,
                                               const std::string &folder) {
  std::vector<AccessBase> bases;
  for (const char *name : {"verdalia7.mdb", "edited.mdb", "verdalia7-jet3.mdb", "verdalia7.accdb"}) {
    AccessBase base;
    std::ifstream in(fixtures + name, std::ios::binary);
    base.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (base.bytes.size() <= 0x14) {
      continue; // not there: the harness has nothing to start from
    }
    const bool jet3 = base.bytes[0x14] == 0; // the version byte of the header page
    base.page_size = jet3 ? 2048 : 4096;
    base.map_pointer = jet3 ? 35 : 55;
    const std::string path = JoinPath(folder, std::string("intact-") + name);
    std::ofstream(path, std::ios::binary) << base.bytes;
    base.tables = TablesText(ImportAccessDatabase(path).get());
    base.reference = ReferenceText(LoadAccess(path));
    std::filesystem::remove(path);
    bases.push_back(std::move(base));
  }
  return bases;
}

// Takes the input one decision at a time; an exhausted input answers 0.
class DamageReader {
public:
  DamageReader(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
  bool More() const { return m_pos < m_size; }
  std::uint32_t Next(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      value = (value << 8) | (m_pos < m_size ? m_data[m_pos++] : 0u);
    }
    return value;
  }

private:
  const std::uint8_t *m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

// The damaged bytes an input makes of a base: its first byte picks the base, the second the
// one forging change (or none) with its parameters, and the rest are losing changes.
inline std::string DamagedCopy(const AccessBase &base, DamageReader &in) {
  std::string bytes = base.bytes;
  const std::size_t page_size = base.page_size;
  const auto pages = [&] { return bytes.size() / page_size; };
  const auto at = [&](std::size_t page) { return page * page_size; };

  switch (in.Next(1) % 4) {
  case 1: { // a page over another, unless both are data pages of one owner
    const std::size_t from = pages() ? in.Next(1) % pages() : 0;
    const std::size_t to = pages() ? in.Next(1) % pages() : 0;
    const bool same_owner = bytes[at(from)] == 1 && bytes[at(to)] == 1 &&
                            bytes.compare(at(from) + 4, 4, bytes, at(to) + 4, 4) == 0;
    if (from != to && !same_owner) {
      bytes.replace(at(to), page_size, bytes, at(from), page_size);
    }
    break;
  }
  case 2: { // one of the first eight bytes of a page
    const std::size_t page = pages() ? in.Next(1) % pages() : 0;
    const std::size_t offset = in.Next(1) % 8;
    bytes[at(page) + offset] = static_cast<char>(in.Next(1));
    break;
  }
  case 3: { // the usage map pointer of a definition
    const std::size_t page = pages() ? in.Next(1) % pages() : 0;
    const std::uint32_t pointer = in.Next(4);
    if (bytes[at(page)] == 2) {
      for (int i = 0; i < 4; ++i) {
        bytes[at(page) + base.map_pointer + static_cast<std::size_t>(i)] =
            static_cast<char>(pointer >> (8 * i));
      }
    }
    break;
  }
  default:
    break;
  }

  while (in.More()) {
    switch (in.Next(1) % 3) {
    case 0: // cut the file
      bytes.resize(std::min<std::size_t>(bytes.size(), in.Next(3) % (base.bytes.size() + 1)));
      break;
    case 1: { // fill a page with one byte
      const std::size_t page = in.Next(1);
      const char fill = static_cast<char>(in.Next(1));
      if (pages() != 0) {
        bytes.replace(at(page % pages()), page_size, page_size, fill);
      }
      break;
    }
    default: { // a byte of the usage maps
      const std::size_t offset = page_size + in.Next(2) % page_size;
      const char value = static_cast<char>(in.Next(1));
      if (offset < bytes.size()) {
        bytes[offset] = value;
      }
      break;
    }
    }
  }
  return bytes;
}

using AccessFinding = std::string;

// (d) A damaged Access database: refused with a message, or loaded to what the intact file
// loads to, table by table.
inline AccessFinding FuzzAccess(const std::uint8_t *data, std::size_t size,
                                const std::vector<AccessBase> &bases, const std::string &folder) {
  if (bases.empty()) {
    return "no Access file to start from";
  }
  DamageReader in(data, size);
  const AccessBase &base = bases[in.Next(1) % bases.size()];
  const std::string bytes = DamagedCopy(base, in);
  const std::string path = JoinPath(folder, "damaged.mdb");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      return {}; // the file system said no; nothing to learn about the program
    }
  }
  std::string reference;
  try {
    reference = ReferenceText(LoadAccess(path));
  } catch (const ReferenceDataError &error) {
    const std::string message = error.what();
    if (message.find("base de datos de referencia") == std::string::npos) {
      return "a refusal without the database's message: " + message;
    }
    return {};
  }
  if (reference != base.reference) {
    return "a damaged database loaded to other reference data than the intact one";
  }
  if (TablesText(ImportAccessDatabase(path).get()) != base.tables) {
    return "a damaged database imported to other tables than the intact one";
  }
  return {};
}

} // namespace verdalia::fuzz
