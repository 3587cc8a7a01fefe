#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace verdalia {

// Code points of bytes 0x80 to 0x9F; the five that Windows-1252 leaves undefined keep their
// own value.
inline constexpr std::array<char32_t, 32> kWindows1252HighBytes = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Data files, reference texts and error lists are Windows-1252 bytes inside the engine;
// only presenters decode them. The five bytes that Windows-1252 leaves undefined map to
// the C1 controls of the same value, so every byte survives a round trip.
std::string Windows1252ToUtf8(std::string_view bytes);

// Characters without a Windows-1252 byte become "?". A byte sequence that is not valid
// UTF-8 is taken as Windows-1252 already and kept byte for byte.
std::string Utf8ToWindows1252(std::string_view utf8);

// Shorthand for the system's fixed texts, which are written in UTF-8 in the sources.
inline std::string Cp1252(std::string_view utf8) {
  return Utf8ToWindows1252(utf8);
}

// Never defined: a fixed text that calls one of them while it is compiled does not compile,
// and the error names what is wrong with it.
void FixedTextIsNotUtf8();
void FixedTextHasACharacterWithoutAWindows1252Byte();

// A fixed text of the program (a message of a list), held in Windows-1252 bytes as the lists
// are written: written in UTF-8 in the sources and encoded as the program is compiled, so a
// character without a Windows-1252 byte does not compile. Where a message carries a value,
// "{}" stands for it in the text, and With fills it in.
template <std::size_t N> class FixedText {
public:
  consteval FixedText(const char (&utf8)[N]) {
    // The literal's closing NUL is not part of the text.
    for (std::size_t i = 0; i + 1 < N;) {
      const auto lead = static_cast<unsigned char>(utf8[i]);
      const std::size_t length = lead < 0x80   ? 1
                                 : lead < 0xC2 ? 0
                                 : lead < 0xE0 ? 2
                                 : lead < 0xF0 ? 3
                                               : 0;
      if (length == 0 || i + length >= N) {
        FixedTextIsNotUtf8();
      }
      char32_t cp = length == 1 ? lead : length == 2 ? lead & 0x1Fu : lead & 0x0Fu;
      for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(utf8[i + k]);
        if ((next & 0xC0) != 0x80) {
          FixedTextIsNotUtf8();
        }
        cp = (cp << 6) | (next & 0x3Fu);
      }
      m_bytes[m_size++] = ByteOf(cp);
      i += length;
    }
  }

  constexpr std::string_view View() const { return {m_bytes, m_size}; }
  constexpr operator std::string_view() const { return View(); }

  // The text with each "{}" replaced by the next of `values`.
  std::string With(std::initializer_list<std::string_view> values) const {
    const std::string_view text = View();
    std::string out;
    std::size_t from = 0;
    for (const std::string_view value : values) {
      const std::size_t at = text.find("{}", from);
      if (at == std::string_view::npos) {
        break;
      }
      out.append(text.substr(from, at - from)).append(value);
      from = at + 2;
    }
    return out.append(text.substr(from));
  }

private:
  static consteval char ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      return static_cast<char>(cp);
    }
    for (std::size_t i = 0; i < kWindows1252HighBytes.size(); ++i) {
      if (kWindows1252HighBytes[i] == cp) {
        return static_cast<char>(0x80 + i);
      }
    }
    FixedTextHasACharacterWithoutAWindows1252Byte();
    return '?';
  }

  char m_bytes[N] = {};
  std::size_t m_size = 0;
};

// Text in Windows-1252 bytes that travels from the engine to a presenter: a finding's field
// and message, the header's labels, a kind's title, a refusal. A type of its own, so that it
// reaches a screen or a terminal only through Windows1252ToUtf8, and a UTF-8 text is never
// taken for it. Cp1252View is a view of such bytes; Cp1252Text keeps its own. Both are their
// bytes and nothing more: no copy, no check, no cost beside the string they wrap.
class Cp1252View {
public:
  constexpr Cp1252View() = default;
  constexpr explicit Cp1252View(std::string_view bytes) : m_bytes(bytes) {}
  // A fixed text of the program is Windows-1252 already.
  template <std::size_t N> constexpr Cp1252View(const FixedText<N> &text) : m_bytes(text.View()) {}

  constexpr std::string_view bytes() const { return m_bytes; }
  constexpr bool empty() const { return m_bytes.empty(); }
  friend constexpr bool operator==(Cp1252View a, Cp1252View b) { return a.m_bytes == b.m_bytes; }

private:
  std::string_view m_bytes;
};

class Cp1252Text {
public:
  Cp1252Text() = default;
  explicit Cp1252Text(std::string bytes) : m_bytes(std::move(bytes)) {}
  explicit Cp1252Text(Cp1252View text) : m_bytes(text.bytes()) {}

  const std::string &bytes() const { return m_bytes; }
  bool empty() const { return m_bytes.empty(); }
  operator Cp1252View() const { return Cp1252View(m_bytes); }
  bool operator==(const Cp1252Text &) const = default;

private:
  std::string m_bytes;
};

// The text decoded for a screen or a terminal.
inline std::string Windows1252ToUtf8(Cp1252View text) {
  return Windows1252ToUtf8(text.bytes());
}

} // namespace verdalia
