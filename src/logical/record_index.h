#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/record_layout.h"

namespace verdalia {

// A key made of up to three fields of one record, copied into the key: looking a key up
// then reads the index's own compact keys rather than the lines they came from, which lie
// scattered over the whole file. With `Joined` the key is the fields' text run together, for
// rules that compare the joined text; without it the fields are compared one by one, so keys
// are equal exactly when every field is, even where a line's end has cut a field short.
template <bool Joined> class FieldTuple {
public:
  // The rules' keys are fixed fields of a few dozen characters at most.
  static constexpr std::size_t kCapacity = 40;

  // The key of the fields at `spans` of a line, as the layout table places them; a rule whose
  // fields are wider than a key's room does not compile.
  template <Span... spans> static FieldTuple Of(std::string_view line) {
    static_assert(sizeof...(spans) >= 1 && sizeof...(spans) <= 3, "a key has one to three fields");
    static_assert((spans.length + ...) <= kCapacity, "the key's fields are wider than its room");
    return FieldTuple(Field(line, spans)...);
  }

  // A key of texts given as they are; at most kCapacity bytes in all.
  FieldTuple(std::string_view first, std::string_view second = {}, std::string_view third = {}) {
    const std::size_t total = first.size() + second.size() + third.size();
    if (total > kCapacity) {
      throw std::length_error("index key longer than " + std::to_string(kCapacity));
    }
    // The bytes past the text stay 0, and the sizes tell a key that ends in NUL bytes from a
    // shorter one.
    std::size_t at = 0;
    for (const std::string_view field : {first, second, third}) {
      Append(field, at);
    }
    if constexpr (Joined) {
      m_sizes = total;
    } else {
      m_sizes = first.size() | second.size() << 8 | third.size() << 16;
    }
  }

  // Word by word, without a branch: keys are compared on every lookup.
  friend bool operator==(const FieldTuple &a, const FieldTuple &b) {
    std::uint64_t differ = a.m_sizes ^ b.m_sizes;
    for (std::size_t w = 0; w < a.m_words.size(); ++w) {
      differ |= a.m_words[w] ^ b.m_words[w];
    }
    return differ == 0;
  }

  // A word at a time, each folded in with a multiplication.
  std::size_t Hash() const {
    std::uint64_t hash = m_sizes;
    for (const std::uint64_t word : m_words) {
      hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
      hash ^= hash >> 32;
    }
    return static_cast<std::size_t>(hash);
  }

private:
  // The field's bytes after the `at` bytes of text so far, read and placed a word at a time:
  // a copy byte by byte would make the hash that follows wait for it. Only the field's own
  // bytes are read.
  void Append(std::string_view field, std::size_t &at) {
    if constexpr (std::endian::native != std::endian::little) {
      std::memcpy(reinterpret_cast<char *>(m_words.data()) + at, field.data(), field.size());
      at += field.size();
      return;
    }
    std::size_t k = 0;
    for (; k + 8 <= field.size(); k += 8) {
      std::uint64_t word;
      std::memcpy(&word, field.data() + k, 8);
      Put(word, 8, at);
    }
    const std::size_t rest = field.size() - k;
    if (rest == 0) {
      return;
    }
    std::uint64_t word = 0;
    if (field.size() >= 8) {
      std::memcpy(&word, field.data() + field.size() - 8, 8);
      word >>= 8 * (8 - rest);
    } else {
      std::memcpy(&word, field.data(), rest);
    }
    Put(word, rest, at);
  }

  // `count` bytes, the low ones of `word`, the others 0.
  void Put(std::uint64_t word, std::size_t count, std::size_t &at) {
    const std::size_t w = at / 8;
    const std::size_t shift = (at % 8) * 8;
    m_words[w] |= word << shift;
    if (shift != 0 && w + 1 < m_words.size()) {
      m_words[w + 1] |= word >> (64 - shift);
    }
    at += count;
  }

  std::array<std::uint64_t, kCapacity / 8> m_words{}; // the text
  std::uint64_t m_sizes = 0; // Joined: the total; else each field's, a byte each
};

using FieldsKey = FieldTuple<false>;
using JoinedKey = FieldTuple<true>;

struct FieldTupleHash {
  template <bool Joined> std::size_t operator()(const FieldTuple<Joined> &key) const {
    return key.Hash();
  }
};

// Numbers the distinct keys 0, 1, 2, ... in the order they are first seen, by their exact,
// untrimmed text. The keys sit in one table of key numbers with open addressing, sized for
// the keys expected, so numbering a key allocates nothing. A rule set numbers the key of each
// record once, as it goes through the file, and remembers the numbers: its rules then find
// the partners of a record without looking its key up again.
template <typename Key, typename Hash = std::hash<Key>> class KeyNumbers {
public:
  static constexpr int kNone = -1;

  explicit KeyNumbers(std::size_t expected_keys = 0) {
    m_keys.reserve(expected_keys);
    std::size_t slots = 16;
    while (slots < 2 * expected_keys) {
      slots *= 2;
    }
    m_slots.assign(slots, Slot{});
  }

  // The key's number; a key not seen before gets the next one.
  int Number(const Key &key) {
    const std::size_t hash = Hash{}(key);
    Slot &slot = m_slots[Probe(key, hash)];
    if (slot.number != kNone) {
      return slot.number;
    }
    const int number = Count();
    slot = Slot{Tag(hash), number};
    m_keys.push_back(key);
    // At most half the slots in use keeps the probes short.
    if (m_keys.size() * 2 > m_slots.size()) {
      Grow();
    }
    return number;
  }

  // The key's number, or kNone when it was never numbered.
  int Find(const Key &key) const { return m_slots[Probe(key, Hash{}(key))].number; }

  // Whether `number` is the number of `key`, without a lookup.
  bool IsNumberOf(int number, const Key &key) const {
    return number >= 0 && number < Count() && m_keys[static_cast<std::size_t>(number)] == key;
  }

  int Count() const { return static_cast<int>(m_keys.size()); }

private:
  struct Slot {
    std::uint32_t tag = 0; // part of the key's hash: most keys that differ differ here
    int number = kNone;
  };

  // The slot holding `key`, or the empty slot where it would go.
  std::size_t Probe(const Key &key, std::size_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    const std::uint32_t tag = Tag(hash);
    for (std::size_t s = Spread(hash) & mask;; s = (s + 1) & mask) {
      const Slot &slot = m_slots[s];
      if (slot.number == kNone ||
          (slot.tag == tag && m_keys[static_cast<std::size_t>(slot.number)] == key)) {
        return s;
      }
    }
  }

  void Grow() {
    std::vector<Slot> old(m_slots.size() * 2, Slot{});
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
      if (slot.number != kNone) {
        std::size_t s = Spread(Hash{}(m_keys[static_cast<std::size_t>(slot.number)])) & mask;
        while (m_slots[s].number != kNone) {
          s = (s + 1) & mask;
        }
        m_slots[s] = slot;
      }
    }
  }

  // Every bit of the hash decides the slot, whatever bits the hash function varies most.
  static std::size_t Spread(std::size_t hash) {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(hash) * 0x9E3779B97F4A7C15ull) >>
                                    32);
  }
  static std::uint32_t Tag(std::size_t hash) { return static_cast<std::uint32_t>(hash); }

  std::vector<Slot> m_slots; // a power of two of them
  std::vector<Key> m_keys;   // key number n's key
};

// Record numbers listed by key number. Records are added in file order, so every list is in
// ascending order: a rule that would scan the file for the first, the last or the first later
// record with a key finds it in its list. Add every record, then Seal, then ask.
class RecordLists {
public:
  explicit RecordLists(std::size_t expected_records = 0) { m_entries.reserve(expected_records); }

  void Add(int number, int record) { m_entries.push_back({number, record}); }

  // Lays the lists of key numbers 0 to `numbers` - 1 out one after the other.
  void Seal(int numbers) {
    m_start.assign(static_cast<std::size_t>(numbers) + 1, 0);
    for (const Entry &entry : m_entries) {
      ++m_start[static_cast<std::size_t>(entry.number) + 1];
    }
    for (std::size_t n = 1; n < m_start.size(); ++n) {
      m_start[n] += m_start[n - 1];
    }
    m_records.resize(m_entries.size());
    std::vector<int> next(m_start.begin(), m_start.end() - 1);
    for (const Entry &entry : m_entries) {
      m_records[static_cast<std::size_t>(next[static_cast<std::size_t>(entry.number)]++)] =
          entry.record;
    }
    m_entries = {};
  }

  // The records of a key number; none for kNone or a number without records.
  std::span<const int> Records(int number) const {
    if (number < 0 || static_cast<std::size_t>(number) + 1 >= m_start.size()) {
      return {};
    }
    const auto n = static_cast<std::size_t>(number);
    return std::span<const int>(m_records).subspan(
        static_cast<std::size_t>(m_start[n]),
        static_cast<std::size_t>(m_start[n + 1] - m_start[n]));
  }

private:
  struct Entry {
    int number;
    int record;
  };
  std::vector<Entry> m_entries;
  std::vector<int> m_start; // number n holds m_records[m_start[n] .. m_start[n + 1])
  std::vector<int> m_records;
};

// The first later record of the same list with the same part of its line (an item number,
// the whole line), for rules that look for a repeat among a record's partners. Up to
// kShortScan later records are compared directly; a longer list is worked out once, when
// first asked, by numbering the parts from its end.
template <typename Part> class LaterRepeats {
public:
  static constexpr std::size_t kShortScan = 16;

  LaterRepeats(const RecordLists &lists, const std::vector<std::string_view> &lineas, Part part)
      : m_lists(lists), m_lineas(lineas), m_part(part) {}

  // `record` is one of the records of key number `number`. The repeat's record, or 0.
  int After(int number, int record) {
    const std::span<const int> records = m_lists.Records(number);
    // The rules ask in file order, so mostly for the record after the one asked before.
    std::size_t position = m_position + 1;
    if (number != m_number || position >= records.size() || records[position] != record) {
      position = static_cast<std::size_t>(std::lower_bound(records.begin(), records.end(), record) -
                                          records.begin());
    }
    if (number != m_number) {
      m_number = number;
      m_repeated = nullptr;
    }
    m_position = position;
    if (records.size() - position <= kShortScan) {
      const std::string_view part = PartOf(record);
      for (std::size_t later = position + 1; later < records.size(); ++later) {
        if (PartOf(records[later]) == part) {
          return records[later];
        }
      }
      return 0;
    }
    if (m_repeated == nullptr) {
      m_repeated = &m_long[number];
    }
    std::vector<int> &repeated = *m_repeated;
    if (repeated.empty()) {
      repeated.assign(records.size(), 0);
      KeyNumbers<std::string_view> seen(records.size());
      std::vector<int> nearest; // by part number: the record of it met last, from the end
      for (std::size_t t = records.size(); t-- > 0;) {
        const auto part = static_cast<std::size_t>(seen.Number(PartOf(records[t])));
        if (part == nearest.size()) {
          nearest.push_back(0);
        }
        repeated[t] = nearest[part];
        nearest[part] = records[t];
      }
    }
    return repeated[position];
  }

private:
  std::string_view PartOf(int record) const {
    return m_part(m_lineas[static_cast<std::size_t>(record)]);
  }

  const RecordLists &m_lists;
  const std::vector<std::string_view> &m_lineas;
  Part m_part;
  std::unordered_map<int, std::vector<int>> m_long; // by key number
  // Where the last question was: its list, its position there, its list's answers if long.
  int m_number = -1;
  std::size_t m_position = 0;
  std::vector<int> *m_repeated = nullptr;
};

// Record numbers grouped by key, for a rule that looks records up by a key of its own.
template <typename Key, typename Hash = std::hash<Key>> class RecordIndex {
public:
  explicit RecordIndex(std::size_t expected_records = 0)
      : m_numbers(expected_records), m_lists(expected_records) {}

  void Add(const Key &key, int record) { m_lists.Add(m_numbers.Number(key), record); }
  void Seal() { m_lists.Seal(m_numbers.Count()); }
  std::span<const int> Records(const Key &key) const {
    return m_lists.Records(m_numbers.Find(key));
  }

private:
  KeyNumbers<Key, Hash> m_numbers;
  RecordLists m_lists;
};

using TextIndex = RecordIndex<std::string_view>;
template <bool Joined> using FieldTupleNumbers = KeyNumbers<FieldTuple<Joined>, FieldTupleHash>;
using FieldsNumbers = FieldTupleNumbers<false>;
using JoinedNumbers = FieldTupleNumbers<true>;

// Whether any of the ascending `records` comes after `record`.
inline bool AnyAfter(std::span<const int> records, int record) {
  return !records.empty() && records.back() > record;
}

// The first of the ascending `records` after `record`, or 0.
inline int FirstAfter(std::span<const int> records, int record) {
  const auto later = std::upper_bound(records.begin(), records.end(), record);
  return later == records.end() ? 0 : *later;
}

} // namespace verdalia
