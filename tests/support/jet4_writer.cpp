#include "support/jet4_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>

#include <sqlite3.h>

#include "common/windows1252.h"

namespace verdalia::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Column type codes as the table definition stores them.
constexpr std::uint8_t kByte = 0x02;
constexpr std::uint8_t kInteger = 0x03;
constexpr std::uint8_t kLong = 0x04;
constexpr std::uint8_t kCurrency = 0x05;
constexpr std::uint8_t kSingle = 0x06;
constexpr std::uint8_t kDouble = 0x07;
constexpr std::uint8_t kText = 0x0A;
constexpr std::uint8_t kOle = 0x0B;
constexpr std::uint8_t kMemo = 0x0C;

// Row-offset flags on data pages: a deleted record keeps its slot with both flags (Access
// sets both); a slot with only the overflow flag holds a pointer to the record's new place,
// and that place carries only the deleted flag, so that page scans skip it.
constexpr std::uint16_t kDeletedFlags = 0xC000;
constexpr std::uint16_t kOverflowFlag = 0x4000;
constexpr std::uint16_t kMovedRecordFlag = 0x8000;

struct Format {
  bool jet3 = false;
  std::uint8_t version_byte = 1;
  std::size_t page_size = 4096;
  std::size_t row_count_offset = 12; // rows on a data page; the offsets follow
  std::size_t tdef_columns_offset = 63;
  std::size_t column_entry_size = 25;
  std::size_t count_size = 2; // column counts and offsets inside a row
};

Format FormatOf(JetVersion version) {
  Format f;
  if (version == JetVersion::Jet3) {
    f.jet3 = true;
    f.version_byte = 0;
    f.page_size = 2048;
    f.row_count_offset = 8;
    f.tdef_columns_offset = 43;
    f.column_entry_size = 18;
    f.count_size = 1;
  } else if (version == JetVersion::Ace12) {
    f.version_byte = 2;
  }
  return f;
}

void Put16(Bytes &b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v & 0xFF);
  b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void Put32(Bytes &b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

void Append(Bytes &b, std::uint64_t v, int size) {
  for (int i = 0; i < size; ++i) {
    b.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
  }
}

void AppendBytes(Bytes &b, const Bytes &more) {
  b.insert(b.end(), more.begin(), more.end());
}

std::string UpperOf(std::string text) {
  for (char &c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

std::vector<std::uint16_t> Utf16Of(const std::string &utf8) {
  std::vector<std::uint16_t> units;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0;
    std::size_t extra = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else {
      throw std::runtime_error("jet writer: text is not UTF-8");
    }
    if (i + extra >= utf8.size() && extra > 0) {
      throw std::runtime_error("jet writer: text is not UTF-8");
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(utf8[i + k]);
      if ((d & 0xC0) != 0x80) {
        throw std::runtime_error("jet writer: text is not UTF-8");
      }
      cp = (cp << 6) | (d & 0x3F);
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      units.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
      units.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      units.push_back(static_cast<std::uint16_t>(cp));
    }
  }
  return units;
}

// The compressed form: a FF FE mark, then one byte per character below U+0100, with a zero
// byte switching to two-byte characters and back. A character whose low byte is zero cannot
// be written this way.
std::optional<Bytes> CompressedUcs2(const std::vector<std::uint16_t> &units) {
  Bytes out{0xFF, 0xFE};
  bool narrow_mode = true;
  for (const std::uint16_t u : units) {
    if ((u & 0xFF) == 0) {
      return std::nullopt;
    }
    const bool narrow = u < 0x100;
    if (narrow != narrow_mode) {
      out.push_back(0);
      narrow_mode = narrow;
    }
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    if (!narrow) {
      out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  return out;
}

// A column as the table definition holds it.
struct ColumnDef {
  std::string name;
  std::uint8_t code = kText;
  int chars = 255; // text columns
  bool fixed = false;
  int fixed_size = 0;
  int fixed_offset = 0;
  int var_index = 0;
};

ColumnDef DefOf(const JetColumn &column) {
  ColumnDef def;
  def.name = column.name;
  def.chars = column.size;
  switch (column.type) {
  case JetType::Byte:
    def.code = kByte;
    def.fixed_size = 1;
    break;
  case JetType::Integer:
    def.code = kInteger;
    def.fixed_size = 2;
    break;
  case JetType::Long:
    def.code = kLong;
    def.fixed_size = 4;
    break;
  case JetType::Single:
    def.code = kSingle;
    def.fixed_size = 4;
    break;
  case JetType::Double:
    def.code = kDouble;
    def.fixed_size = 8;
    break;
  case JetType::Currency:
    def.code = kCurrency;
    def.fixed_size = 8;
    break;
  case JetType::Text:
    def.code = kText;
    if (column.size < 1 || column.size > 255) {
      throw std::runtime_error("jet writer: text column " + column.name +
                               " must hold 1 to 255 characters");
    }
    break;
  case JetType::Memo:
    def.code = kMemo;
    break;
  }
  def.fixed = def.fixed_size > 0;
  return def;
}

void AssignOffsets(std::vector<ColumnDef> &columns) {
  int fixed_offset = 0;
  int var_index = 0;
  for (ColumnDef &c : columns) {
    if (c.fixed) {
      c.fixed_offset = fixed_offset;
      fixed_offset += c.fixed_size;
    } else {
      c.var_index = var_index++;
    }
  }
}

// One row slot on a data page: the bytes, the flags of its offset, and for a moved record
// the pointer slot that must learn where the record went.
struct Slot {
  Bytes bytes;
  std::uint16_t flags = 0;
  std::optional<std::size_t> pointer_to; // index of the slot holding the moved record
  std::uint32_t pg_row = 0;              // where this slot lands
  // Memo headers in the row that point at long values: (offset of the pointer, long value).
  std::vector<std::pair<std::size_t, std::size_t>> long_refs;
};

class Writer {
public:
  Writer(const Format &format, const JetOptions &options) : m_f(format), m_options(options) {}

  void Write(const std::string &path, const std::vector<JetTable> &tables);

private:
  struct TableState {
    std::string name;
    bool system = false;
    std::vector<ColumnDef> columns;
    std::vector<Slot> slots;
    std::size_t live_rows = 0;
    std::uint32_t tdef_page = 0;
    std::vector<std::uint32_t> data_pages;
    std::size_t map_row = 0; // its usage map in row map_row, free-space map in map_row + 1
  };

  Bytes EncodeText(const std::string &utf8, const ColumnDef &column, bool memo) const;
  Bytes EncodeRow(const TableState &table, const std::vector<JetValue> &values,
                  std::vector<std::pair<std::size_t, std::size_t>> *long_refs = nullptr);
  void Place(std::vector<Slot *> &slots, std::vector<std::uint32_t> &pages,
             std::uint32_t &next_page) const;
  Bytes DataPage(const std::vector<const Slot *> &slots, std::uint32_t owner,
                 bool long_values) const;
  Bytes TableDefinition(const TableState &table) const;
  Bytes HeaderPage() const;

  Format m_f;
  JetOptions m_options;
  // Rows of long-value pages: a whole memo text, or one link of a chain, which begins with
  // the pointer to the next link (`next`, patched once pages are known; none for the last).
  struct LongRow {
    Bytes bytes;
    std::optional<std::size_t> next;
  };
  std::vector<LongRow> m_longValues;
};

Bytes Writer::EncodeText(const std::string &utf8, const ColumnDef &column, bool memo) const {
  if (m_f.jet3) {
    const std::string bytes = Utf8ToWindows1252(utf8);
    if (!memo && static_cast<int>(bytes.size()) > column.chars) {
      throw std::runtime_error("jet writer: value too long for column " + column.name);
    }
    return Bytes(bytes.begin(), bytes.end());
  }
  const std::vector<std::uint16_t> units = Utf16Of(utf8);
  if (!memo && static_cast<int>(units.size()) > column.chars) {
    throw std::runtime_error("jet writer: value too long for column " + column.name);
  }
  Bytes plain;
  for (const std::uint16_t u : units) {
    Append(plain, u, 2);
  }
  if (m_options.compress_text) {
    if (auto compressed = CompressedUcs2(units); compressed && compressed->size() < plain.size()) {
      return *compressed;
    }
  }
  return plain;
}

Bytes Writer::EncodeRow(const TableState &table, const std::vector<JetValue> &values,
                        std::vector<std::pair<std::size_t, std::size_t>> *long_refs) {
  const auto &columns = table.columns;
  if (values.size() != columns.size()) {
    throw std::runtime_error("jet writer: a row of " + table.name + " has " +
                             std::to_string(values.size()) + " values for " +
                             std::to_string(columns.size()) + " columns");
  }
  const std::size_t cs = m_f.count_size;
  std::size_t fixed_size = 0;
  std::size_t var_count = 0;
  for (const ColumnDef &c : columns) {
    fixed_size += static_cast<std::size_t>(c.fixed_size);
    var_count += c.fixed ? 0 : 1;
  }
  Bytes row;
  Append(row, columns.size(), static_cast<int>(cs));
  row.resize(cs + fixed_size, 0);
  Bytes null_mask((columns.size() + 7) / 8, 0);
  std::vector<std::size_t> var_offsets;

  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef &c = columns[i];
    const JetValue &value = values[i];
    const bool is_null = std::holds_alternative<JetNull>(value);
    if (!is_null) {
      null_mask[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    }
    if (c.fixed) {
      if (is_null) {
        continue;
      }
      const std::size_t at = cs + static_cast<std::size_t>(c.fixed_offset);
      auto whole = [&]() -> std::int64_t {
        if (const auto *n = std::get_if<std::int64_t>(&value)) {
          return *n;
        }
        throw std::runtime_error("jet writer: column " + c.name + " takes whole numbers");
      };
      auto number = [&]() -> double {
        if (const auto *n = std::get_if<std::int64_t>(&value)) {
          return static_cast<double>(*n);
        }
        if (const auto *d = std::get_if<double>(&value)) {
          return *d;
        }
        throw std::runtime_error("jet writer: column " + c.name + " takes numbers");
      };
      auto check_range = [&](std::int64_t n, std::int64_t lo, std::int64_t hi) {
        if (n < lo || n > hi) {
          throw std::runtime_error("jet writer: value out of range for column " + c.name);
        }
        return n;
      };
      std::uint64_t raw = 0;
      switch (c.code) {
      case kByte:
        raw = static_cast<std::uint64_t>(check_range(whole(), 0, 255));
        break;
      case kInteger:
        raw = static_cast<std::uint64_t>(check_range(whole(), -32768, 32767));
        break;
      case kLong:
        raw = static_cast<std::uint64_t>(check_range(whole(),
                                                     std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max()));
        break;
      case kSingle: {
        const float f = static_cast<float>(number());
        std::uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        raw = bits;
        break;
      }
      case kDouble: {
        const double d = number();
        std::memcpy(&raw, &d, 8);
        break;
      }
      case kCurrency:
        raw = static_cast<std::uint64_t>(std::llround(number() * 10000.0));
        break;
      default:
        break;
      }
      for (int k = 0; k < c.fixed_size; ++k) {
        row[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>((raw >> (8 * k)) & 0xFF);
      }
      continue;
    }
    var_offsets.push_back(row.size());
    if (is_null) {
      continue;
    }
    const auto *text = std::get_if<std::string>(&value);
    if (c.code == kOle || !text) {
      throw std::runtime_error("jet writer: column " + c.name + " takes texts");
    }
    if (c.code == kText) {
      AppendBytes(row, EncodeText(*text, c, false));
      continue;
    }
    // Memo: a 12-byte header, then the text itself when short enough; a longer text goes to
    // a long-value page and the header points at it.
    const Bytes data = EncodeText(*text, c, true);
    if (data.size() > 0xFFFFFF) {
      throw std::runtime_error("jet writer: memo too long in column " + c.name);
    }
    const auto length = static_cast<std::uint32_t>(data.size());
    if (data.size() <= m_options.inline_memo_limit) {
      Append(row, length | 0x80000000u, 4);
      Append(row, 0, 8);
      AppendBytes(row, data);
    } else {
      if (!long_refs) {
        throw std::runtime_error("jet writer: no long values in " + table.name);
      }
      const std::size_t chunk = m_options.long_value_chunk;
      const bool chained = chunk > 0 && data.size() > chunk;
      Append(row, chained ? length : (length | 0x40000000u), 4);
      long_refs->emplace_back(row.size(), m_longValues.size()); // patched once pages are known
      Append(row, 0, 8);
      if (!chained) {
        m_longValues.push_back({data, std::nullopt});
      }
      for (std::size_t at = 0; chained && at < data.size(); at += chunk) {
        LongRow link;
        link.bytes.assign(4, 0);
        link.bytes.insert(link.bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                          data.begin() +
                              static_cast<std::ptrdiff_t>(std::min(at + chunk, data.size())));
        if (at + chunk < data.size()) {
          link.next = m_longValues.size() + 1;
        }
        m_longValues.push_back(std::move(link));
      }
    }
  }

  if (var_count > 0) {
    const std::size_t eod = row.size();
    if (m_f.jet3 && eod > 255) {
      throw std::runtime_error("jet writer: a Jet 3 row of " + table.name +
                               " is longer than 255 bytes");
    }
    Append(row, eod, static_cast<int>(cs));
    for (auto it = var_offsets.rbegin(); it != var_offsets.rend(); ++it) {
      Append(row, *it, static_cast<int>(cs));
    }
    Append(row, var_count, static_cast<int>(cs));
  }
  AppendBytes(row, null_mask);
  if (m_f.jet3 && row.size() > 256) {
    throw std::runtime_error("jet writer: a Jet 3 row of " + table.name +
                             " is longer than 256 bytes");
  }
  return row;
}

// Packs slots into consecutive new pages, filling each from its end like Access.
void Writer::Place(std::vector<Slot *> &slots, std::vector<std::uint32_t> &pages,
                   std::uint32_t &next_page) const {
  std::size_t used = m_f.row_count_offset + 2;
  std::size_t rows = 0;
  for (Slot *slot : slots) {
    const std::size_t need = slot->bytes.size() + 2;
    if (m_f.row_count_offset + 2 + need > m_f.page_size) {
      throw std::runtime_error("jet writer: a row does not fit on a page");
    }
    if (pages.empty() || used + need > m_f.page_size || rows == 255) {
      pages.push_back(next_page++);
      used = m_f.row_count_offset + 2;
      rows = 0;
    }
    slot->pg_row = (pages.back() << 8) | static_cast<std::uint32_t>(rows);
    used += need;
    ++rows;
  }
}

Bytes Writer::DataPage(const std::vector<const Slot *> &slots, std::uint32_t owner,
                       bool long_values) const {
  Bytes page(m_f.page_size, 0);
  page[0] = 0x01;
  page[1] = 0x01;
  if (long_values) {
    std::memcpy(page.data() + 4, "LVAL", 4);
  } else {
    Put32(page, 4, owner);
  }
  Put16(page, m_f.row_count_offset, static_cast<std::uint32_t>(slots.size()));
  std::size_t end = m_f.page_size;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const Bytes &bytes = slots[i]->bytes;
    end -= bytes.size();
    std::copy(bytes.begin(), bytes.end(), page.begin() + static_cast<std::ptrdiff_t>(end));
    Put16(page, m_f.row_count_offset + 2 + 2 * i,
          static_cast<std::uint32_t>(end) | slots[i]->flags);
  }
  const std::size_t header = m_f.row_count_offset + 2 + 2 * slots.size();
  Put16(page, 2, static_cast<std::uint32_t>(end - header));
  return page;
}

Bytes Writer::TableDefinition(const TableState &table) const {
  Bytes page(m_f.page_size, 0);
  page[0] = 0x02;
  page[1] = 0x01;
  if (m_f.jet3) {
    page[2] = 'V';
    page[3] = 'C';
  }
  const std::size_t n = table.columns.size();
  std::size_t var_count = 0;
  for (const ColumnDef &c : table.columns) {
    var_count += c.fixed ? 0 : 1;
  }
  const auto map_pg_row = [](std::size_t row) {
    return (1u << 8) | static_cast<std::uint32_t>(row); // the usage maps live on page 1
  };
  const std::uint8_t table_type = table.system ? 0x53 : 0x4E;
  if (m_f.jet3) {
    Put32(page, 12, static_cast<std::uint32_t>(table.live_rows));
    page[20] = table_type;
    Put16(page, 21, static_cast<std::uint32_t>(n));
    Put16(page, 23, static_cast<std::uint32_t>(var_count));
    Put16(page, 25, static_cast<std::uint32_t>(n));
    Put32(page, 35, map_pg_row(table.map_row));
    Put32(page, 39, map_pg_row(table.map_row + 1));
  } else {
    Put32(page, 12, 1625); // a constant Access writes here
    Put32(page, 16, static_cast<std::uint32_t>(table.live_rows));
    page[24] = 1;
    page[40] = table_type;
    Put16(page, 41, static_cast<std::uint32_t>(n));
    Put16(page, 43, static_cast<std::uint32_t>(var_count));
    Put16(page, 45, static_cast<std::uint32_t>(n));
    Put32(page, 55, map_pg_row(table.map_row));
    Put32(page, 59, map_pg_row(table.map_row + 1));
  }

  std::size_t at = m_f.tdef_columns_offset;
  auto need = [&](std::size_t bytes) {
    if (at + bytes > m_f.page_size) {
      throw std::runtime_error("jet writer: the definition of " + table.name +
                               " does not fit on one page");
    }
  };
  for (std::size_t i = 0; i < n; ++i) {
    const ColumnDef &c = table.columns[i];
    need(m_f.column_entry_size);
    const bool textual = c.code == kText || c.code == kMemo;
    std::uint32_t length = 0;
    if (c.fixed) {
      length = static_cast<std::uint32_t>(c.fixed_size);
    } else if (c.code == kText) {
      length = static_cast<std::uint32_t>(m_f.jet3 ? c.chars : c.chars * 2);
    }
    const std::uint8_t flags = c.fixed ? 0x03 : 0x02;
    page[at] = c.code;
    if (m_f.jet3) {
      Put16(page, at + 1, static_cast<std::uint32_t>(i));
      Put16(page, at + 3, c.fixed ? 0 : static_cast<std::uint32_t>(c.var_index));
      Put16(page, at + 5, static_cast<std::uint32_t>(i));
      if (textual) {
        Put16(page, at + 7, 0x0409); // general sort order
        Put16(page, at + 9, 1252);   // code page
      }
      page[at + 13] = flags;
      Put16(page, at + 14, c.fixed ? static_cast<std::uint32_t>(c.fixed_offset) : 0);
      Put16(page, at + 16, length);
    } else {
      Put32(page, at + 1, 1625);
      Put16(page, at + 5, static_cast<std::uint32_t>(i));
      Put16(page, at + 7, c.fixed ? 0 : static_cast<std::uint32_t>(c.var_index));
      Put16(page, at + 9, static_cast<std::uint32_t>(i));
      if (textual) {
        Put16(page, at + 11, 0x0409); // general sort order
      }
      page[at + 15] = flags;
      page[at + 16] = (textual && m_options.compress_text) ? 0x01 : 0x00;
      Put16(page, at + 21, c.fixed ? static_cast<std::uint32_t>(c.fixed_offset) : 0);
      Put16(page, at + 23, length);
    }
    at += m_f.column_entry_size;
  }
  for (const ColumnDef &c : table.columns) {
    Bytes name;
    if (m_f.jet3) {
      const std::string bytes = Utf8ToWindows1252(c.name);
      name.assign(bytes.begin(), bytes.end());
    } else {
      for (const std::uint16_t u : Utf16Of(c.name)) {
        Append(name, u, 2);
      }
    }
    need(m_f.count_size + name.size());
    if (m_f.jet3) {
      page[at++] = static_cast<std::uint8_t>(name.size());
    } else {
      Put16(page, at, static_cast<std::uint32_t>(name.size()));
      at += 2;
    }
    std::copy(name.begin(), name.end(), page.begin() + static_cast<std::ptrdiff_t>(at));
    at += name.size();
  }
  need(2);
  Put16(page, at, 0xFFFF); // end of the definition
  at += 2;
  Put32(page, 8, static_cast<std::uint32_t>(at));
  if (!m_f.jet3) {
    Put16(page, 2, static_cast<std::uint32_t>(m_f.page_size - at - 8));
  }
  return page;
}

// RC4, with which the header page hides part of itself.
void Rc4(const std::uint8_t *key, std::size_t key_size, std::uint8_t *data, std::size_t size) {
  std::uint8_t s[256];
  for (int i = 0; i < 256; ++i) {
    s[i] = static_cast<std::uint8_t>(i);
  }
  std::uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + s[i] + key[static_cast<std::size_t>(i) % key_size]);
    std::swap(s[i], s[j]);
  }
  std::uint8_t x = 0;
  std::uint8_t y = 0;
  for (std::size_t k = 0; k < size; ++k) {
    x = static_cast<std::uint8_t>(x + 1);
    y = static_cast<std::uint8_t>(y + s[x]);
    std::swap(s[x], s[y]);
    data[k] ^= s[static_cast<std::uint8_t>(s[x] + s[y])];
  }
}

Bytes Writer::HeaderPage() const {
  Bytes page(m_f.page_size, 0);
  page[1] = 0x01;
  const char *magic = m_f.version_byte >= 2 ? "Standard ACE DB" : "Standard Jet DB";
  std::memcpy(page.data() + 4, magic, std::strlen(magic));
  page[0x14] = m_f.version_byte;
  // Clear values of the hidden part: code page, no encryption key, language.
  Put16(page, 0x3C, 1252);
  Put32(page, 0x3E, 0);
  Put16(page, m_f.jet3 ? 0x3A : 0x6E, 0x0409);
  static constexpr std::uint8_t kKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
  Rc4(kKey, 4, page.data() + 0x18, m_f.jet3 ? 126 : 128);
  return page;
}

void Writer::Write(const std::string &path, const std::vector<JetTable> &tables) {
  // The catalog describes every table, itself included.
  std::vector<TableState> states(tables.size() + 1);
  TableState &catalog = states[0];
  catalog.name = "MSysObjects";
  catalog.system = true;
  struct CatalogColumn {
    const char *name;
    std::uint8_t code;
    int chars;
  };
  static const CatalogColumn kCatalogColumns[] = {{"Id", kLong, 0},     {"ParentId", kLong, 0},
                                                  {"Name", kText, 128}, {"Type", kInteger, 0},
                                                  {"Flags", kLong, 0},  {"LvProp", kOle, 0}};
  for (const auto &[name, code, chars] : kCatalogColumns) {
    ColumnDef def;
    def.name = name;
    def.code = code;
    def.chars = chars;
    def.fixed_size = code == kLong ? 4 : code == kInteger ? 2 : 0;
    def.fixed = def.fixed_size > 0;
    catalog.columns.push_back(def);
  }
  AssignOffsets(catalog.columns);

  std::set<std::string> names;
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const JetTable &table = tables[t];
    TableState &state = states[t + 1];
    state.name = table.name;
    if (!names.insert(UpperOf(table.name)).second) {
      throw std::runtime_error("jet writer: two tables named " + table.name);
    }
    for (const JetColumn &column : table.columns) {
      state.columns.push_back(DefOf(column));
    }
    AssignOffsets(state.columns);
    const std::set<std::size_t> deleted(table.deleted.begin(), table.deleted.end());
    const std::set<std::size_t> moved(table.moved.begin(), table.moved.end());
    std::vector<Slot> relocated;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      Slot slot;
      slot.bytes = EncodeRow(state, table.rows[r], &slot.long_refs);
      if (deleted.count(r)) {
        slot.flags = kDeletedFlags;
      } else if (moved.count(r)) {
        Slot pointer;
        pointer.bytes.assign(4, 0);
        pointer.flags = kOverflowFlag;
        pointer.pointer_to = relocated.size();
        slot.flags = kMovedRecordFlag;
        relocated.push_back(std::move(slot));
        state.slots.push_back(std::move(pointer));
        ++state.live_rows;
        continue;
      } else {
        ++state.live_rows;
      }
      state.slots.push_back(std::move(slot));
    }
    // The moved records come after every slot, so they land on later pages.
    const std::size_t first_relocated = state.slots.size();
    for (Slot &slot : state.slots) {
      if (slot.pointer_to) {
        *slot.pointer_to += first_relocated;
      }
    }
    for (Slot &slot : relocated) {
      state.slots.push_back(std::move(slot));
    }
  }

  // Pages: 0 header, 1 usage maps, 2 the catalog's definition, then its data, then every
  // table's definition and data, then the long values.
  std::uint32_t next_page = 2;
  catalog.tdef_page = next_page++;
  // The catalog's rows hold the other tables' definition pages: first count its pages with
  // rows of the same size, written again once the pages are known.
  // A table kept in another database appears only as a catalog entry of type 6.
  const auto catalog_rows = [&] {
    std::vector<Bytes> rows;
    for (const TableState &state : states) {
      rows.push_back(EncodeRow(catalog, {std::int64_t{state.tdef_page}, std::int64_t{0x0F000001},
                                         state.name, std::int64_t{1},
                                         state.system ? std::int64_t{-2147483646} : 0, JetNull{}}));
    }
    for (const std::string &name : m_options.linked_tables) {
      rows.push_back(EncodeRow(catalog, {std::int64_t{0}, std::int64_t{0x0F000001}, name,
                                         std::int64_t{6}, std::int64_t{0}, JetNull{}}));
    }
    return rows;
  };
  for (Bytes &row : catalog_rows()) {
    Slot slot;
    slot.bytes = std::move(row);
    catalog.slots.push_back(std::move(slot));
  }
  catalog.live_rows = catalog.slots.size();
  {
    std::vector<Slot *> slots;
    for (Slot &slot : catalog.slots) {
      slots.push_back(&slot);
    }
    Place(slots, catalog.data_pages, next_page);
  }
  for (std::size_t t = 1; t < states.size(); ++t) {
    TableState &state = states[t];
    state.tdef_page = next_page++;
    std::vector<Slot *> slots;
    for (Slot &slot : state.slots) {
      slots.push_back(&slot);
    }
    Place(slots, state.data_pages, next_page);
  }
  std::vector<Slot> long_slots(m_longValues.size());
  std::vector<std::uint32_t> long_pages;
  {
    std::vector<Slot *> slots;
    for (std::size_t i = 0; i < m_longValues.size(); ++i) {
      long_slots[i].bytes = m_longValues[i].bytes;
      slots.push_back(&long_slots[i]);
    }
    Place(slots, long_pages, next_page);
  }
  const std::uint32_t page_count = next_page;

  // Now that every page is known: the catalog's rows, the pointers of moved records and
  // the memo headers that point at long values.
  std::vector<Bytes> final_catalog = catalog_rows();
  for (std::size_t r = 0; r < final_catalog.size(); ++r) {
    catalog.slots[r].bytes = std::move(final_catalog[r]);
  }
  for (std::size_t t = 1; t < states.size(); ++t) {
    TableState &state = states[t];
    for (Slot &slot : state.slots) {
      if (slot.pointer_to) {
        const std::uint32_t target = state.slots[*slot.pointer_to].pg_row;
        Put32(slot.bytes, 0, target);
      }
    }
  }
  for (std::size_t t = 1; t < states.size(); ++t) {
    for (Slot &slot : states[t].slots) {
      for (const auto &[offset, index] : slot.long_refs) {
        Put32(slot.bytes, offset, long_slots.at(index).pg_row);
      }
    }
  }
  for (std::size_t i = 0; i < m_longValues.size(); ++i) {
    if (m_longValues[i].next) {
      Put32(long_slots[i].bytes, 0, long_slots[*m_longValues[i].next].pg_row);
    }
  }

  // The usage maps: every table owns its data pages; no page has room to spare.
  const std::size_t map_bytes = (page_count + 7) / 8;
  std::vector<Slot> map_slots;
  for (std::size_t t = 0; t < states.size(); ++t) {
    states[t].map_row = map_slots.size();
    Slot used;
    used.bytes.assign(5 + map_bytes, 0);
    for (const std::uint32_t page : states[t].data_pages) {
      used.bytes[5 + page / 8] |= static_cast<std::uint8_t>(1u << (page % 8));
    }
    Slot free_space;
    free_space.bytes.assign(5 + map_bytes, 0);
    map_slots.push_back(std::move(used));
    map_slots.push_back(std::move(free_space));
  }

  std::vector<Bytes> pages(page_count);
  pages[0] = HeaderPage();
  {
    std::vector<const Slot *> slots;
    std::size_t size = m_f.row_count_offset + 2;
    for (const Slot &slot : map_slots) {
      slots.push_back(&slot);
      size += slot.bytes.size() + 2;
    }
    if (size > m_f.page_size || slots.size() > 255) {
      throw std::runtime_error("jet writer: the usage maps do not fit on one page");
    }
    pages[1] = DataPage(slots, 0, false);
  }
  for (const TableState &state : states) {
    pages[state.tdef_page] = TableDefinition(state);
    for (const std::uint32_t page : state.data_pages) {
      std::vector<const Slot *> slots;
      for (const Slot &slot : state.slots) {
        if (slot.pg_row >> 8 == page) {
          slots.push_back(&slot);
        }
      }
      pages[page] = DataPage(slots, state.tdef_page, false);
    }
  }
  for (const std::uint32_t page : long_pages) {
    std::vector<const Slot *> slots;
    for (const Slot &slot : long_slots) {
      if (slot.pg_row >> 8 == page) {
        slots.push_back(&slot);
      }
    }
    pages[page] = DataPage(slots, 0, true);
  }

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const Bytes &page : pages) {
    out.write(reinterpret_cast<const char *>(page.data()),
              static_cast<std::streamsize>(page.size()));
  }
  out.close();
  if (!out) {
    throw std::runtime_error("jet writer: cannot write " + path);
  }
}

struct SqliteCloser {
  void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
struct StatementCloser {
  void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};

std::unique_ptr<sqlite3_stmt, StatementCloser> Prepare(sqlite3 *db, const std::string &sql) {
  sqlite3_stmt *stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    throw std::runtime_error("sqlite: " + std::string(sqlite3_errmsg(db)) + " (" + sql + ")");
  }
  return std::unique_ptr<sqlite3_stmt, StatementCloser>(stmt);
}

std::string QuotedName(const std::string &name) {
  std::string out = "\"";
  for (const char c : name) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  return out + "\"";
}

JetTable ReadSqliteTable(sqlite3 *db, const std::string &name) {
  JetTable table;
  table.name = name;
  std::vector<std::string> declared;
  {
    auto info = Prepare(db, "PRAGMA table_info(" + QuotedName(name) + ")");
    while (sqlite3_step(info.get()) == SQLITE_ROW) {
      JetColumn column;
      column.name = reinterpret_cast<const char *>(sqlite3_column_text(info.get(), 1));
      const auto *type = sqlite3_column_text(info.get(), 2);
      declared.push_back(UpperOf(type ? reinterpret_cast<const char *>(type) : ""));
      table.columns.push_back(column);
    }
  }
  if (table.columns.empty()) {
    throw std::runtime_error("sqlite: no table " + name);
  }
  // The rows in the order the loader's own "SELECT *" meets them.
  auto rows = Prepare(db, "SELECT * FROM " + QuotedName(name));
  const std::size_t n = table.columns.size();
  std::vector<bool> any_text(n), any_real(n), any_wide(n), any_value(n);
  std::vector<std::size_t> longest(n);
  std::vector<std::vector<std::string>> number_texts; // each number as SQLite writes it
  while (sqlite3_step(rows.get()) == SQLITE_ROW) {
    std::vector<JetValue> row;
    number_texts.emplace_back(n);
    for (std::size_t i = 0; i < n; ++i) {
      const int col = static_cast<int>(i);
      const int type = sqlite3_column_type(rows.get(), col);
      if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        number_texts.back()[i] =
            reinterpret_cast<const char *>(sqlite3_column_text(rows.get(), col));
      }
      switch (type) {
      case SQLITE_NULL:
        row.emplace_back(JetNull{});
        continue;
      case SQLITE_INTEGER: {
        const std::int64_t v = sqlite3_column_int64(rows.get(), col);
        any_wide[i] = any_wide[i] || v < std::numeric_limits<std::int32_t>::min() ||
                      v > std::numeric_limits<std::int32_t>::max();
        row.emplace_back(v);
        break;
      }
      case SQLITE_FLOAT:
        any_real[i] = true;
        row.emplace_back(sqlite3_column_double(rows.get(), col));
        break;
      case SQLITE_TEXT: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(rows.get(), col));
        std::string value(text, static_cast<std::size_t>(sqlite3_column_bytes(rows.get(), col)));
        longest[i] = std::max(longest[i], Utf16Of(value).size());
        any_text[i] = true;
        row.emplace_back(std::move(value));
        break;
      }
      default:
        throw std::runtime_error("sqlite: column " + table.columns[i].name + " of " + name +
                                 " holds a blob");
      }
      any_value[i] = true;
    }
    table.rows.push_back(std::move(row));
  }

  for (std::size_t i = 0; i < n; ++i) {
    JetColumn &column = table.columns[i];
    if (!any_value[i]) {
      const std::string &type = declared[i];
      const bool real = type.find("REAL") != std::string::npos ||
                        type.find("FLOA") != std::string::npos ||
                        type.find("DOUB") != std::string::npos;
      column.type = type.find("INT") != std::string::npos ? JetType::Long
                    : real                                ? JetType::Double
                                                          : JetType::Text;
    } else if (any_text[i]) {
      column.type = longest[i] > 255 ? JetType::Memo : JetType::Text;
    } else if (any_real[i] || any_wide[i]) {
      column.type = JetType::Double;
    } else {
      column.type = JetType::Long;
    }
    if (column.type != JetType::Text && column.type != JetType::Memo) {
      continue;
    }
    // A text column also takes the numbers stored in it, as the texts SQLite gives them.
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      JetValue &value = table.rows[r][i];
      if (std::holds_alternative<std::int64_t>(value) || std::holds_alternative<double>(value)) {
        value = number_texts[r][i];
      }
    }
  }
  return table;
}

} // namespace

std::vector<JetTable> ReadSqliteTables(const std::string &sqlite_path,
                                       const std::vector<std::string> &names) {
  sqlite3 *raw = nullptr;
  const int rc = sqlite3_open_v2(sqlite_path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  const std::unique_ptr<sqlite3, SqliteCloser> db(raw);
  if (rc != SQLITE_OK) {
    throw std::runtime_error("sqlite: cannot open " + sqlite_path);
  }
  std::vector<JetTable> tables;
  for (const std::string &name : names) {
    tables.push_back(ReadSqliteTable(raw, name));
  }
  return tables;
}

void ConvertReferenceDatabase(const std::string &sqlite_path, const std::string &access_path,
                              const JetOptions &options) {
  WriteJetDatabase(access_path,
                   ReadSqliteTables(sqlite_path, {"DefArchivo", "TipoArchivo", "COMUNA", "CULTIVO",
                                                  "TipoCultivoUniFisc", "RegionComunaZHS"}),
                   options);
}

std::string MdbTool(const std::vector<std::string> &command_line) {
  auto quoted = [](const std::string &text) {
    std::string out = "'";
    for (const char c : text) {
      out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
  };
  if (command_line.empty()) {
    throw std::runtime_error("no mdbtools command");
  }
  const std::string &tool = command_line.front();
  std::string command = "LC_ALL=C.UTF-8";
  for (const std::string &argument : command_line) {
    command += " " + quoted(argument);
  }
  command += " 2>/dev/null";
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) {
    throw std::runtime_error("cannot run " + tool);
  }
  std::string out;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    out.append(buffer, got);
  }
  const int status = pclose(pipe);
  if (status != 0) {
    throw std::runtime_error(command + ": status " + std::to_string(status) +
                             " (mdbtools comes with scripts/install-deps.sh)");
  }
  return out;
}

void WriteJetDatabase(const std::string &path, const std::vector<JetTable> &tables,
                      const JetOptions &options) {
  Writer(FormatOf(options.version), options).Write(path, tables);
}

} // namespace verdalia::testing
