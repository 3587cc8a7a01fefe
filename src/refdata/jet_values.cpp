// Built with libmdb only (VERDALIA_HAVE_MDB): see jet_values.h.
#ifdef VERDALIA_HAVE_MDB

#include "refdata/jet_values.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include <mdbtools.h>

#include "common/windows1252.h"

namespace verdalia {
namespace {

void AppendUtf8(std::string &out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

} // namespace

std::string JetTextToUtf8(const unsigned char *bytes, std::size_t size, bool jet3) {
  if (jet3) {
    return Windows1252ToUtf8(std::string_view(reinterpret_cast<const char *>(bytes), size));
  }
  std::vector<std::uint16_t> units;
  units.reserve(size);
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    bool narrow = true;
    for (std::size_t i = 2; i < size;) {
      if (bytes[i] == 0) {
        narrow = !narrow;
        ++i;
      } else if (narrow) {
        units.push_back(bytes[i]);
        ++i;
      } else if (i + 1 < size) {
        units.push_back(static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
      units.push_back(static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
  }
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t cp = units[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD; // a lone surrogate
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::size_t FixedSize(int col_type) {
  switch (col_type) {
  case MDB_BYTE:
    return 1;
  case MDB_INT:
    return 2;
  case MDB_LONGINT:
  case MDB_COMPLEX:
  case MDB_FLOAT:
    return 4;
  case MDB_MONEY:
  case MDB_DOUBLE:
  case MDB_DATETIME:
    return 8;
  case MDB_REPID:
    return 16;
  case MDB_NUMERIC:
    return 17;
  default:
    return 0;
  }
}

float FloatOf(const unsigned char *p) {
  const std::uint32_t bits = Le32(p);
  float f = 0;
  std::memcpy(&f, &bits, 4);
  return f;
}

double DoubleOf(const unsigned char *p) {
  const std::uint64_t bits = Le64(p);
  double d = 0;
  std::memcpy(&d, &bits, 8);
  return d;
}

std::string DateTimeText(const unsigned char *p) {
  struct tm t = {};
  mdb_date_to_tm(DoubleOf(p), &t);
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return buffer;
}

std::string ReplicationIdText(const unsigned char *p) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", p[3],
                p[2], p[1], p[0], p[5], p[4], p[7], p[6], p[8], p[9], p[10], p[11], p[12], p[13],
                p[14], p[15]);
  return buffer;
}

} // namespace verdalia

#endif
