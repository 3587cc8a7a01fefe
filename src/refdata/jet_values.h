#pragma once

// The values of a Jet (Access) record decoded from their stored bytes, as libmdb hands them
// over: texts, fixed-size numbers, dates and replication ids. What needs more than the bytes
// (long values, which live on pages of their own; decimals, which libmdb formats) is read by
// the copier in mdb_source.cpp. Built with libmdb only.

#include <cstddef>
#include <cstdint>
#include <string>

namespace verdalia {

inline std::uint32_t Le32(const unsigned char *p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t Le64(const unsigned char *p) {
  return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

// A stored text as UTF-8. Jet 3 keeps the Windows code page's bytes. Jet 4 and later keep
// UCS-2, little-endian; a value that begins with FF FE is compressed: one byte per character
// below U+0100, and each zero byte switches between that and two bytes per character.
std::string JetTextToUtf8(const unsigned char *bytes, std::size_t size, bool jet3);

// The bytes a value of a fixed-size column type (libmdb's MDB_BYTE, ...) takes; 0 for the
// types of any size.
std::size_t FixedSize(int col_type);

float FloatOf(const unsigned char *p);
double DoubleOf(const unsigned char *p);

// A date and time is a double: days since 30 December 1899, the time of day as the fraction.
std::string DateTimeText(const unsigned char *p);

// A replication id as Access shows a GUID: its first three groups are stored little-endian.
std::string ReplicationIdText(const unsigned char *p);

} // namespace verdalia
