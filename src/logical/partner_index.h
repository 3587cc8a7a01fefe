#pragma once

#include "logical/record_index.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace verdalia {

// The records of a file whose "2" records (policies, claims) and "3" records (their items,
// claim details) belong together when their keys are equal; `OwnerKey` and `MemberKey` read
// the key of each. Every record of either type gets its key's number, and each type lists
// its records by key number: a record finds its partners, and the records of its own type
// with its key, without looking its key up again. Records 2 to `last` are indexed; records
// of other types get kNone and belong to no list.
template <auto OwnerKey, auto MemberKey, typename Hash = FieldTupleHash> class PartnerIndex {
  using Key = decltype(OwnerKey(std::string_view()));
  using Numbers = KeyNumbers<Key, Hash>;

public:
  static constexpr int kNone = Numbers::kNone;

  PartnerIndex(const std::vector<std::string_view> &lines, int last) {
    auto line = [&lines](int record) { return lines[static_cast<std::size_t>(record)]; };
    const auto records = static_cast<std::size_t>(std::max(last - 1, 0));
    // Most keys have a record of each type, or more: room for half the records as keys; a
    // file with more keys has its table grown once.
    m_numbers = Numbers((records + 1) / 2);
    m_owners = RecordLists(records);
    m_members = RecordLists(records);
    m_keyOf.assign(static_cast<std::size_t>(std::max(last + 1, 0)), kNone);
    // Partners mostly follow one another, or come in the same order as the records they
    // belong to: a key is first compared with the record before's, then with the key
    // numbered after that one.
    Key previous{std::string_view()};
    int previous_number = kNone;
    for (int k = 2; k <= last; ++k) {
      const std::string_view text = line(k);
      const bool owner = text.starts_with('2');
      if (!owner && !text.starts_with('3')) {
        continue;
      }
      const Key key = owner ? OwnerKey(text) : MemberKey(text);
      int number = kNone;
      if (previous_number != kNone && key == previous) {
        number = previous_number;
      } else if (m_numbers.IsNumberOf(previous_number + 1, key)) {
        number = previous_number + 1;
      } else {
        number = m_numbers.Number(key);
      }
      previous = key;
      previous_number = number;
      m_keyOf[static_cast<std::size_t>(k)] = number;
      (owner ? m_owners : m_members).Add(number, k);
    }
    m_owners.Seal(m_numbers.Count());
    m_members.Seal(m_numbers.Count());
  }

  // The key number of a record, kNone for one of another type.
  int KeyOf(int record) const { return m_keyOf[static_cast<std::size_t>(record)]; }
  // The "2" records and the "3" records by key number, each list in file order.
  const RecordLists &Owners() const { return m_owners; }
  const RecordLists &Members() const { return m_members; }

private:
  Numbers m_numbers;
  RecordLists m_owners;
  RecordLists m_members;
  std::vector<int> m_keyOf; // by record number
};

} // namespace verdalia
