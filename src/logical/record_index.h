#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace verdalia {

// Record numbers grouped by the exact, untrimmed text of a key. Records are added in file
// order, so every group lists its records in ascending order: a rule that would scan the
// file for the first, the last or the first later record with a key finds it in its group.
// `Key` is std::string for keys built from several fields, std::string_view for keys that
// are whole fields or lines of the file (the lines outlive the index).
template <typename Key> class BasicRecordIndex {
public:
  static constexpr int kNoGroup = -1;

  void Add(std::string_view key, int record) {
    auto found = m_groups.find(key);
    if (found == m_groups.end()) {
      found = m_groups.emplace(Key(key), static_cast<int>(m_records.size())).first;
      m_records.emplace_back();
    }
    m_records[static_cast<std::size_t>(found->second)].push_back(record);
  }

  // The number of the group holding `key`, or kNoGroup; groups are numbered from 0 in the
  // order their first record was added.
  int Find(std::string_view key) const {
    const auto found = m_groups.find(key);
    return found == m_groups.end() ? kNoGroup : found->second;
  }

  std::span<const int> Records(int group) const {
    if (group < 0 || group >= GroupCount()) {
      return {};
    }
    return m_records[static_cast<std::size_t>(group)];
  }

  std::span<const int> Records(std::string_view key) const { return Records(Find(key)); }
  int GroupCount() const { return static_cast<int>(m_records.size()); }

private:
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
      return std::hash<std::string_view>{}(key);
    }
  };
  std::unordered_map<Key, int, KeyHash, std::equal_to<>> m_groups;
  std::vector<std::vector<int>> m_records;
};

using RecordIndex = BasicRecordIndex<std::string>;
using RecordViewIndex = BasicRecordIndex<std::string_view>;

// The first of the ascending `records` that comes after `record`, or 0 when none does.
int FirstAfter(std::span<const int> records, int record);

// Whether any of the ascending `records` comes after `record`.
inline bool AnyAfter(std::span<const int> records, int record) {
  return !records.empty() && records.back() > record;
}

// A key of fields that are compared one by one: each field is preceded by its length, so
// two keys are equal exactly when every field is equal, even where a line's end has cut a
// field short. Fields of up to 255 characters.
std::string FieldsKey(std::initializer_list<std::string_view> fields);

// A key that is the fields' text run together, for rules that compare the joined text.
std::string JoinedKey(std::initializer_list<std::string_view> fields);

} // namespace verdalia
