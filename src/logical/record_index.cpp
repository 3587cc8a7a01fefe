#include "logical/record_index.h"

#include <algorithm>

namespace verdalia {

int FirstAfter(std::span<const int> records, int record) {
  const auto later = std::upper_bound(records.begin(), records.end(), record);
  return later == records.end() ? 0 : *later;
}

std::string FieldsKey(std::initializer_list<std::string_view> fields) {
  std::string key;
  for (const std::string_view field : fields) {
    key.push_back(static_cast<char>(static_cast<unsigned char>(field.size())));
    key.append(field);
  }
  return key;
}

std::string JoinedKey(std::initializer_list<std::string_view> fields) {
  std::string key;
  for (const std::string_view field : fields) {
    key.append(field);
  }
  return key;
}

} // namespace verdalia
