#include "reports/summary.h"

#include <unordered_map>
#include <utility>

namespace verdalia {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsLetterOrDigit(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return IsDigit(c) || ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z') || byte >= 0xC0;
}

// Where a number stands in a message: [at, at + size).
struct Span {
  std::size_t at;
  std::size_t size;
};

// The numbers a message writes: digits with their decimal and thousands separators ("19.18",
// "1.234,5"), a sign that stands before them apart from a word ("-3", not the "-" of
// "12345678-9"), and an exponent ("1.5E+20", as amounts too large are written).
std::vector<Span> NumbersIn(std::string_view text) {
  std::vector<Span> numbers;
  std::size_t i = text.find_first_of("0123456789");
  while (i < text.size()) {
    std::size_t start = i;
    if (start > 0 && (text[start - 1] == '-' || text[start - 1] == '+') &&
        (start == 1 || !IsLetterOrDigit(text[start - 2]))) {
      --start;
    }
    bool exponent = false;
    while (i < text.size()) {
      const bool next_digit = i + 1 < text.size() && IsDigit(text[i + 1]);
      if (IsDigit(text[i])) {
        ++i;
      } else if ((text[i] == '.' || text[i] == ',') && next_digit && !exponent) {
        ++i;
      } else if ((text[i] == 'E' || text[i] == 'e') && !exponent && i + 2 < text.size() &&
                 (text[i + 1] == '+' || text[i + 1] == '-') && IsDigit(text[i + 2])) {
        exponent = true;
        i += 2;
      } else {
        break;
      }
    }
    numbers.push_back({start, i - start});
    i = text.find_first_of("0123456789", i);
  }
  return numbers;
}

// The message with its numbers set aside, as a key: each number becomes "\0#" and a NUL of
// the text "\0\0", so no two messages of different wording share a key.
std::string PatternKey(std::string_view text, const std::vector<Span> &numbers) {
  std::string key;
  key.reserve(text.size() + 2);
  std::size_t at = 0;
  const auto literal = [&](std::size_t end) {
    for (; at < end; ++at) {
      key += text[at];
      if (text[at] == '\0') {
        key += '\0';
      }
    }
  };
  for (const Span &number : numbers) {
    literal(number.at);
    key.append("\0#", 2);
    at = number.at + number.size;
  }
  literal(text.size());
  return key;
}

struct Message {
  std::uint32_t pattern = 0;
  std::vector<Span> numbers;
};

// A group while the list is read: its first row's message, and which of its numbers have
// differed in a later row.
struct Forming {
  std::uint32_t first_message = 0;
  std::uint32_t last_compared = 0;
  std::vector<bool> varies;
};

// Looks a text up among those seen, adding it when new; a row most often repeats the text
// of the row before, which is found without hashing.
class TextIds {
public:
  explicit TextIds(std::vector<Cp1252View> &texts) : m_texts(texts) {}

  // The text's id, and whether it is new.
  std::pair<std::uint32_t, bool> Id(Cp1252View cp1252) {
    const std::string_view text = cp1252.bytes();
    if (m_last_data != nullptr && text.data() == m_last_data && text.size() == m_last_size) {
      return {m_last_id, false};
    }
    const auto [at, added] = m_ids.try_emplace(text, static_cast<std::uint32_t>(m_texts.size()));
    if (added) {
      m_texts.push_back(cp1252);
    }
    m_last_data = text.data();
    m_last_size = text.size();
    m_last_id = at->second;
    return {at->second, added};
  }

private:
  std::vector<Cp1252View> &m_texts;
  std::unordered_map<std::string_view, std::uint32_t> m_ids;
  const char *m_last_data = nullptr;
  std::size_t m_last_size = 0;
  std::uint32_t m_last_id = 0;
};

// The group's message: its first row's, each number that differed shown as the placeholder.
std::string GroupMessage(std::string_view first, const std::vector<Span> &numbers,
                         const std::vector<bool> &varies) {
  std::string message;
  std::size_t at = 0;
  for (std::size_t k = 0; k < numbers.size(); ++k) {
    if (varies[k]) {
      message.append(first.substr(at, numbers[k].at - at)).append(kNumberPlaceholder);
      at = numbers[k].at + numbers[k].size;
    }
  }
  return message.append(first.substr(at));
}

} // namespace

ListIndex IndexList(const ResultList &rows) {
  ListIndex index;
  index.field_of_row.reserve(rows.size());
  index.message_of_row.reserve(rows.size());
  index.group_of_row.reserve(rows.size());
  TextIds field_ids(index.fields);
  TextIds message_ids(index.messages);
  std::vector<Message> messages;
  std::unordered_map<std::string, std::uint32_t> pattern_ids;
  std::unordered_map<std::uint64_t, std::uint32_t> group_ids;
  std::vector<Forming> forming;
  ListSummary &summary = index.summary;

  std::uint64_t last_key = ~std::uint64_t{0};
  std::uint32_t last_group = 0;
  for (const ResultRow &row : rows) {
    const std::uint32_t field = field_ids.Id(row.field).first;
    const auto [message, new_message] = message_ids.Id(row.message);
    if (new_message) {
      Message shape{0, NumbersIn(row.message.bytes())};
      shape.pattern = pattern_ids
                          .try_emplace(PatternKey(row.message.bytes(), shape.numbers),
                                       static_cast<std::uint32_t>(pattern_ids.size()))
                          .first->second;
      messages.push_back(std::move(shape));
    }
    const Severity severity = row.severity();
    ++(severity == Severity::Warning ? summary.warnings : summary.errors);

    const std::uint64_t key = (std::uint64_t{field} << 32) | messages[message].pattern;
    if (key != last_key) {
      const auto [at, added] =
          group_ids.try_emplace(key, static_cast<std::uint32_t>(summary.groups.size()));
      if (added) {
        summary.groups.push_back({Cp1252Text(row.field), Cp1252Text(), severity, 0, row.record});
        forming.push_back({message, message, std::vector<bool>(messages[message].numbers.size())});
      }
      last_key = key;
      last_group = at->second;
    }
    ++summary.groups[last_group].rows;
    index.field_of_row.push_back(field);
    index.message_of_row.push_back(message);
    index.group_of_row.push_back(last_group);

    // Which numbers of the group's first message this row writes otherwise.
    Forming &group = forming[last_group];
    if (message != group.last_compared) {
      group.last_compared = message;
      const std::string_view first = index.messages[group.first_message].bytes();
      const std::vector<Span> &first_numbers = messages[group.first_message].numbers;
      const std::vector<Span> &numbers = messages[message].numbers;
      for (std::size_t k = 0; k < numbers.size(); ++k) {
        if (!group.varies[k] && row.message.bytes().substr(numbers[k].at, numbers[k].size) !=
                                    first.substr(first_numbers[k].at, first_numbers[k].size)) {
          group.varies[k] = true;
        }
      }
    }
  }
  for (std::size_t g = 0; g < summary.groups.size(); ++g) {
    const Forming &group = forming[g];
    summary.groups[g].message =
        Cp1252Text(GroupMessage(index.messages[group.first_message].bytes(),
                                messages[group.first_message].numbers, group.varies));
  }
  return index;
}

ListSummary Summarize(const ResultList &rows) {
  return IndexList(rows).summary;
}

} // namespace verdalia
