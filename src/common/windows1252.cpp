#include "common/windows1252.h"

#include <array>
#include <cstdint>

namespace verdalia {
namespace {

char32_t CodePointOf(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) {
    return kWindows1252HighBytes[byte - 0x80];
  }
  return byte;
}

void AppendUtf8(std::string &out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

int ByteOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
    return static_cast<int>(cp);
  }
  for (std::size_t i = 0; i < kWindows1252HighBytes.size(); ++i) {
    if (kWindows1252HighBytes[i] == cp) {
      return static_cast<int>(0x80 + i);
    }
  }
  return -1;
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is not valid.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t &cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      return 0;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  return length;
}

} // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      AppendUtf8(out, CodePointOf(byte));
    }
  }
  return out;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
  // Most texts are ASCII through and through, and so their own Windows-1252.
  std::size_t i = 0;
  while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80) {
    ++i;
  }
  std::string out(utf8.substr(0, i));
  if (i == utf8.size()) {
    return out;
  }
  out.reserve(utf8.size());
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      // A run of ASCII characters at once.
      std::size_t end = i + 1;
      while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80) {
        ++end;
      }
      out.append(utf8.substr(i, end - i));
      i = end;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(utf8, i, cp);
    if (length == 0) {
      out.push_back(utf8[i]);
      ++i;
      continue;
    }
    const int byte = ByteOf(cp);
    out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    i += length;
  }
  return out;
}

} // namespace verdalia
