#include "cli/report_writer.h"

#include <charconv>
#include <string_view>

#include <nlohmann/json.hpp>

#include "common/windows1252.h"
#include "reports/summary.h"

namespace verdalia::cli {
namespace {

using namespace std::string_view_literals;

std::string Utf8(Cp1252View text) {
  return Windows1252ToUtf8(text);
}

// What the listing shows of a Windows-1252 text.
std::string Shown(Cp1252View text) {
  return Printable(Windows1252ToUtf8(text));
}

// The lines of a row's detail under it in the text listing, each ended by a line end.
std::string ExplainedDetail(const FindingDetail &detail) {
  std::string text;
  if (detail.value_start > 0) {
    text += "         leído: \"" + Shown(Cp1252View(detail.value)) + "\" (columna " +
            std::to_string(detail.value_start) + ", largo " + std::to_string(detail.value.size()) +
            ")\n";
  }
  if (!detail.expected.empty()) {
    text += "         esperado: \"" + Shown(Cp1252View(detail.expected)) + "\"\n";
  }
  if (!detail.related.empty()) {
    text += detail.related.size() == 1 ? "         otro registro: " : "         otros registros: ";
    for (std::size_t i = 0; i < detail.related.size(); ++i) {
      text += (i > 0 ? ", " : "") + std::to_string(detail.related[i]);
    }
    text += "\n";
  }
  return text;
}

class TextWriter : public ReportWriter {
public:
  TextWriter(std::ostream &out, ListingOptions options)
      : m_out(out), m_summary(options.summary), m_explain(options.explain) {}

  void Write(const FileReport &report) override {
    m_out << "== " << Printable(report.path);
    if (!report.title.empty()) {
      m_out << ": " << Shown(report.title);
    }
    m_out << "\n";
    if (report.refused) {
      m_out << "   Rechazado: " << Shown(report.refusal) << "\n\n";
      return;
    }
    m_out << "   RUT: " << Shown(report.labels.rut) << "\n";
    m_out << "   Razón Social: " << Shown(report.labels.name) << "\n";
    m_out << "   Periodo: " << Shown(report.labels.period) << "\n";
    WriteList("Verificación Física", report.physical);
    if (report.logical) {
      WriteList("Verificación Lógica", report.logical);
    } else if (report.outcome == LogicalOutcome::NotAsked) {
      m_out << "-- Verificación Lógica: no solicitada (--physical-only)\n";
    } else {
      m_out << "-- Verificación Lógica: no habilitada (la lista física contiene errores)\n";
    }
    for (const std::string &path : report.saved) {
      m_out << "   Guardado: " << Printable(path) << "\n";
    }
    for (const std::string &path : report.removed) {
      m_out << "   Eliminado: " << Printable(path)
            << " (la lista lógica de una verificación anterior)\n";
    }
    m_out << "\n";
  }

  void Finish() override { m_out.flush(); }

private:
  void WriteList(const char *name, const ResultList *rows) {
    const Counts counts = CountRows(rows);
    m_out << "-- " << name << ": " << counts.errors << (counts.errors == 1 ? " error" : " errores")
          << ", " << counts.warnings << (counts.warnings == 1 ? " advertencia" : " advertencias")
          << "\n";
    if (m_summary) {
      WriteGroups(*rows);
      return;
    }
    // A list can run to tens of thousands of rows that repeat a few fields and messages: a
    // text is converted only when it differs from the row before's, and the lines are
    // gathered and written in large pieces.
    std::string lines;
    const Cp1252View *field = nullptr;
    const Cp1252View *message = nullptr;
    std::string field_utf8;
    std::string message_utf8;
    for (const ResultRow &row : *rows) {
      if (field == nullptr || row.field != *field) {
        field = &row.field;
        field_utf8 = Shown(row.field);
      }
      if (message == nullptr || row.message != *message) {
        message = &row.message;
        message_utf8 = Shown(row.message);
      }
      char record[16];
      char *const record_end = std::to_chars(record, record + sizeof record, row.record).ptr;
      lines.append("   "sv).append(record, record_end).append("\t"sv).append(field_utf8);
      lines.append("\t"sv).append(message_utf8).append("\n"sv);
      if (const auto detail = m_explain ? rows->Detail(row) : std::nullopt) {
        lines.append(ExplainedDetail(*detail));
      }
      if (lines.size() >= kWriteSize) {
        m_out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
        lines.clear();
      }
    }
    m_out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
  }

  // "   3412 filas\tFECHA_SIEMBRA\tError.No es fecha válida\tprimera en el registro 7"
  void WriteGroups(const ResultList &rows) {
    for (const FindingGroup &group : Summarize(rows).groups) {
      m_out << "   " << group.rows << (group.rows == 1 ? " fila\t" : " filas\t")
            << Shown(group.field) << "\t" << Shown(group.message) << "\tprimera en el registro "
            << group.first_record << "\n";
    }
  }

  static constexpr std::size_t kWriteSize = std::size_t{1} << 16;

  std::ostream &m_out;
  bool m_summary;
  bool m_explain;
};

// Fields in the order they are inserted: the listing reads as the files are reported.
using Json = nlohmann::ordered_json;

// What the check knew beside the message: "value" (the text read, its first column and its
// length), "expected" (a text, or a number for an amount a rule worked out), "related" (the
// other records); each only where known.
void AddDetail(const FindingDetail &detail, Json &item) {
  if (detail.value_start > 0) {
    item["value"] = {{"text", Utf8(Cp1252View(detail.value))},
                     {"start", detail.value_start},
                     {"length", detail.value.size()}};
  }
  if (detail.expected_amount) {
    item["expected"] = *detail.expected_amount;
  } else if (!detail.expected.empty()) {
    item["expected"] = Utf8(Cp1252View(detail.expected));
  }
  if (!detail.related.empty()) {
    item["related"] = std::vector<int>(detail.related.begin(), detail.related.end());
  }
}

// Compact, as one line; a path given on the command line need not be UTF-8: what is not is
// replaced.
std::string Dumped(const Json &value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A list as a JSON array of {record, field, message}, appended row by row: a tree of a
// list's hundreds of thousands of rows would take ten times the memory of its text, and
// running out of it while such a tree is torn down ends the process.
void AppendList(std::string &text, const ResultList *rows) {
  if (!rows) {
    text += "null";
    return;
  }
  text += '[';
  const char *separator = "";
  for (const ResultRow &row : *rows) {
    text += separator;
    Json item = {{"record", row.record},
                 {"field", Windows1252ToUtf8(row.field)},
                 {"message", Windows1252ToUtf8(row.message)}};
    if (const std::optional<FindingDetail> detail = rows->Detail(row)) {
      AddDetail(*detail, item);
    }
    text += Dumped(item);
    separator = ",";
  }
  text += ']';
}

Json Groups(const ResultList *rows) {
  if (!rows) {
    return nullptr;
  }
  const ListSummary summary = Summarize(*rows);
  Json groups = Json::array();
  for (const FindingGroup &group : summary.groups) {
    groups.push_back({{"field", Windows1252ToUtf8(group.field)},
                      {"message", Windows1252ToUtf8(group.message)},
                      {"rows", group.rows},
                      {"first_record", group.first_record}});
  }
  return {{"errors", summary.errors}, {"warnings", summary.warnings}, {"groups", groups}};
}

// Why there is no logical list: "refused", "physical_errors", "physical_only"; null when
// there is one.
Json Skipped(const FileReport &report) {
  switch (report.outcome) {
  case LogicalOutcome::Ran:
    return nullptr;
  case LogicalOutcome::FileRefused:
    return "refused";
  case LogicalOutcome::PhysicalErrors:
    return "physical_errors";
  case LogicalOutcome::NotAsked:
    return "physical_only";
  }
  return nullptr;
}

// One object per file, one file per line, each written as soon as its runs end.
class JsonWriter : public ReportWriter {
public:
  JsonWriter(std::ostream &out, ListingOptions options) : m_out(out), m_summary(options.summary) {}

  void Write(const FileReport &report) override {
    const Counts physical = CountRows(report.physical);
    const Counts logical = CountRows(report.logical);
    // The file's object is made whole before any of it is written, so that a file whose
    // listing runs out of memory leaves the listing as it was.
    std::string text = "{\"file\":" + Dumped(report.path);
    text += ",\"kind\":" + Dumped(report.kind);
    text += ",\"title\":" + Dumped(Utf8(report.title));
    text += ",\"labels\":" + Dumped({{"rut", Utf8(report.labels.rut)},
                                     {"razon_social", Utf8(report.labels.name)},
                                     {"periodo", Utf8(report.labels.period)}});
    text += ",\"refused\":" + Dumped(report.refused);
    text += ",\"refusal\":" + Dumped(report.refused ? Json(Utf8(report.refusal)) : Json(nullptr));
    text += ",\"physical\":";
    AppendList(text, report.physical);
    text += ",\"logical\":";
    AppendList(text, report.logical);
    text += ",\"logical_skipped\":" + Dumped(Skipped(report));
    text += ",\"errors\":" + Dumped(physical.errors + logical.errors);
    text += ",\"warnings\":" + Dumped(physical.warnings + logical.warnings);
    text += ",\"saved\":" + Dumped(report.saved);
    text += ",\"removed\":" + Dumped(report.removed);
    if (m_summary) {
      text += ",\"summary\":" +
              Dumped({{"physical", Groups(report.physical)}, {"logical", Groups(report.logical)}});
    }
    text += '}';
    m_out << (m_first ? "{\"files\":[\n" : ",\n") << text;
    m_first = false;
  }

  void Finish() override {
    m_out << (m_first ? "{\"files\":[]}\n" : "\n]}\n");
    m_out.flush();
  }

private:
  std::ostream &m_out;
  bool m_summary;
  bool m_first = true;
};

} // namespace

std::unique_ptr<ReportWriter> MakeTextWriter(std::ostream &out, ListingOptions options) {
  return std::make_unique<TextWriter>(out, options);
}
std::unique_ptr<ReportWriter> MakeJsonWriter(std::ostream &out, ListingOptions options) {
  return std::make_unique<JsonWriter>(out, options);
}

std::string Printable(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(utf8.size());
  const auto escape = [&](const char *prefix, unsigned value, int digits) {
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
      out += kHex[(value >> shift) & 0xF];
    }
  };
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7F) {
        escape("\\x", byte, 2);
      } else {
        out += static_cast<char>(byte);
      }
      ++i;
      continue;
    }
    // The length of a well-formed sequence that begins here, or 0.
    std::size_t length = byte >= 0xC2 && byte <= 0xDF   ? 2
                         : byte >= 0xE0 && byte <= 0xEF ? 3
                         : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                        : 0;
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= utf8.size() || (static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
        length = 0;
      }
    }
    const auto second = length > 1 ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if ((byte == 0xE0 && second < 0xA0) || (byte == 0xED && second >= 0xA0) ||
        (byte == 0xF0 && second < 0x90) || (byte == 0xF4 && second >= 0x90)) {
      length = 0; // overlong, a surrogate, or past U+10FFFF
    }
    if (length == 0) {
      escape("\\x", byte, 2);
      ++i;
    } else if (byte == 0xC2 && second < 0xA0) {
      escape("\\u", second, 4); // U+0080 to U+009F: C2 80 to C2 9F
      i += 2;
    } else {
      out.append(utf8.substr(i, length));
      i += length;
    }
  }
  return out;
}

Counts CountRows(const ResultList *rows) {
  Counts counts;
  if (rows) {
    for (const ResultRow &row : *rows) {
      ++(row.severity() == Severity::Warning ? counts.warnings : counts.errors);
    }
  }
  return counts;
}

} // namespace verdalia::cli
