#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace verdalia {

// A key made of up to three fields of one record, as views into its line: nothing is
// copied. With `Joined` the key is the fields' text run together, for rules that compare
// the joined text; without it the fields are compared one by one, so keys are equal exactly
// when every field is, even where a line's end has cut a field short.
template <bool Joined> struct FieldTuple {
  std::array<std::string_view, 3> fields{};

  friend bool operator==(const FieldTuple &a, const FieldTuple &b) {
    if constexpr (Joined) {
      return Text(a) == Text(b);
    } else {
      return a.fields == b.fields;
    }
  }

  // The joined text, walked without building it.
  struct JoinedText {
    const FieldTuple &key;
    std::size_t size() const {
      return key.fields[0].size() + key.fields[1].size() + key.fields[2].size();
    }
    char operator[](std::size_t k) const {
      for (const std::string_view field : key.fields) {
        if (k < field.size()) {
          return field[k];
        }
        k -= field.size();
      }
      return '\0';
    }
    friend bool operator==(const JoinedText &a, const JoinedText &b) {
      const std::size_t size = a.size();
      if (size != b.size()) {
        return false;
      }
      for (std::size_t k = 0; k < size; ++k) {
        if (a[k] != b[k]) {
          return false;
        }
      }
      return true;
    }
  };
  static JoinedText Text(const FieldTuple &key) { return {key}; }
};

using FieldsKey = FieldTuple<false>;
using JoinedKey = FieldTuple<true>;

// FNV-1a over the bytes of the fields; fields compared one by one also hash their lengths.
struct FieldTupleHash {
  template <bool Joined> std::size_t operator()(const FieldTuple<Joined> &key) const {
    std::uint64_t hash = 14695981039346656037ull;
    auto mix = [&](unsigned char byte) {
      hash ^= byte;
      hash *= 1099511628211ull;
    };
    for (const std::string_view field : key.fields) {
      if constexpr (!Joined) {
        mix(static_cast<unsigned char>(field.size()));
      }
      for (const char c : field) {
        mix(static_cast<unsigned char>(c));
      }
    }
    return static_cast<std::size_t>(hash);
  }
};

// Record numbers grouped by the exact, untrimmed text of a key. Records are added in file
// order, so every group lists its records in ascending order: a rule that would scan the
// file for the first, the last or the first later record with a key finds it in its group.
// Keys are views into the lines, which outlive the index. Add every record, then Seal,
// then ask.
//
// The groups' keys sit in one table of group numbers with open addressing, so adding a
// record allocates nothing once the table is sized for the records expected.
template <typename Key, typename Hash = std::hash<Key>> class RecordIndex {
public:
  static constexpr int kNoGroup = -1;

  explicit RecordIndex(std::size_t expected_records = 0) {
    m_keys.reserve(expected_records);
    m_entries.reserve(expected_records);
    std::size_t slots = 16;
    while (slots < 2 * expected_records) {
      slots *= 2;
    }
    m_slots.assign(slots, Slot{});
  }

  void Add(const Key &key, int record) {
    const std::size_t hash = Hash{}(key);
    Slot &slot = m_slots[Probe(key, hash)];
    int group = slot.group;
    if (group == kNoGroup) {
      group = GroupCount();
      slot = Slot{Tag(hash), group};
      m_keys.push_back(key);
      // At most half the slots in use keeps the probes short.
      if (m_keys.size() * 2 > m_slots.size()) {
        Grow();
      }
    }
    m_entries.push_back({group, record});
  }

  // Lays the groups out one after the other, each in file order.
  void Seal() {
    m_start.assign(m_keys.size() + 1, 0);
    for (const Entry &entry : m_entries) {
      ++m_start[static_cast<std::size_t>(entry.group) + 1];
    }
    for (std::size_t g = 1; g < m_start.size(); ++g) {
      m_start[g] += m_start[g - 1];
    }
    m_records.resize(m_entries.size());
    std::vector<int> next(m_start.begin(), m_start.end() - 1);
    for (const Entry &entry : m_entries) {
      m_records[static_cast<std::size_t>(next[static_cast<std::size_t>(entry.group)]++)] =
          entry.record;
    }
    m_entries = {};
  }

  // The number of the group holding `key`, or kNoGroup; groups are numbered from 0 in the
  // order their first record was added.
  int Find(const Key &key) const { return m_slots[Probe(key, Hash{}(key))].group; }

  std::span<const int> Records(int group) const {
    if (group < 0 || static_cast<std::size_t>(group) + 1 >= m_start.size()) {
      return {};
    }
    const auto g = static_cast<std::size_t>(group);
    return std::span<const int>(m_records).subspan(
        static_cast<std::size_t>(m_start[g]),
        static_cast<std::size_t>(m_start[g + 1] - m_start[g]));
  }

  std::span<const int> Records(const Key &key) const { return Records(Find(key)); }
  int GroupCount() const { return static_cast<int>(m_keys.size()); }

private:
  struct Slot {
    std::uint32_t tag = 0; // part of the key's hash: most keys that differ differ here
    int group = kNoGroup;
  };
  struct Entry {
    int group;
    int record;
  };

  // The slot holding `key`, or the empty slot where it would go.
  std::size_t Probe(const Key &key, std::size_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    const std::uint32_t tag = Tag(hash);
    for (std::size_t s = Spread(hash) & mask;; s = (s + 1) & mask) {
      const Slot &slot = m_slots[s];
      if (slot.group == kNoGroup ||
          (slot.tag == tag && m_keys[static_cast<std::size_t>(slot.group)] == key)) {
        return s;
      }
    }
  }

  void Grow() {
    std::vector<Slot> old(m_slots.size() * 2, Slot{});
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
      if (slot.group != kNoGroup) {
        std::size_t s = Spread(Hash{}(m_keys[static_cast<std::size_t>(slot.group)])) & mask;
        while (m_slots[s].group != kNoGroup) {
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
  std::vector<Key> m_keys;   // group g's key
  std::vector<Entry> m_entries;
  std::vector<int> m_start; // group g holds m_records[m_start[g] .. m_start[g + 1])
  std::vector<int> m_records;
};

template <bool Joined> using FieldTupleIndex = RecordIndex<FieldTuple<Joined>, FieldTupleHash>;
using FieldsIndex = FieldTupleIndex<false>;
using JoinedIndex = FieldTupleIndex<true>;
using TextIndex = RecordIndex<std::string_view>;

// Whether any of the ascending `records` comes after `record`.
inline bool AnyAfter(std::span<const int> records, int record) {
  return !records.empty() && records.back() > record;
}

} // namespace verdalia
