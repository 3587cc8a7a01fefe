#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

  FieldTuple(std::string_view first, std::string_view second = {}, std::string_view third = {}) {
    const std::size_t total = first.size() + second.size() + third.size();
    if (total > kCapacity) {
      throw std::length_error("index key longer than " + std::to_string(kCapacity));
    }
    std::size_t at = 0;
    for (const std::string_view field : {first, second, third}) {
      std::copy(field.begin(), field.end(), m_text.begin() + static_cast<std::ptrdiff_t>(at));
      at += field.size();
    }
    // The unused bytes stay 0 and the sizes tell a key that ends in NUL bytes from a shorter
    // one.
    if constexpr (Joined) {
      m_sizes[0] = static_cast<std::uint8_t>(total);
    } else {
      m_sizes = {static_cast<std::uint8_t>(first.size()), static_cast<std::uint8_t>(second.size()),
                 static_cast<std::uint8_t>(third.size()), 0};
    }
  }

  friend bool operator==(const FieldTuple &a, const FieldTuple &b) {
    return a.m_sizes == b.m_sizes && a.m_text == b.m_text;
  }

  // Eight bytes at a time, each word folded in with a multiplication.
  std::size_t Hash() const {
    std::uint32_t sizes = 0;
    std::memcpy(&sizes, m_sizes.data(), sizeof sizes);
    std::uint64_t hash = sizes;
    for (std::size_t at = 0; at < kCapacity; at += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, m_text.data() + at, sizeof word);
      hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
      hash ^= hash >> 32;
    }
    return static_cast<std::size_t>(hash);
  }

private:
  std::array<char, kCapacity> m_text{};
  std::array<std::uint8_t, 4> m_sizes{}; // Joined: the total; else each field's
};

using FieldsKey = FieldTuple<false>;
using JoinedKey = FieldTuple<true>;

struct FieldTupleHash {
  template <bool Joined> std::size_t operator()(const FieldTuple<Joined> &key) const {
    return key.Hash();
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
