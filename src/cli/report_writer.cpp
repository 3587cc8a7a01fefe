#include "cli/report_writer.h"

#include <charconv>

#include <nlohmann/json.hpp>

#include "common/windows1252.h"
#include "reports/summary.h"

namespace verdalia::cli {
namespace {

std::string Utf8(std::string_view text) {
  return Windows1252ToUtf8(text);
}

class TextWriter : public ReportWriter {
public:
  TextWriter(std::ostream &out, bool summary) : m_out(out), m_summary(summary) {}

  void Write(const FileReport &report) override {
    m_out << "== " << report.path;
    if (!report.title.empty()) {
      m_out << ": " << Utf8(report.title);
    }
    m_out << "\n";
    if (report.refused && !report.physical) {
      m_out << "   Rechazado: " << Utf8(report.refusal) << "\n\n";
      return;
    }
    m_out << "   RUT: " << Utf8(report.labels.rut) << "\n";
    m_out << "   Razón Social: " << Utf8(report.labels.name) << "\n";
    m_out << "   Periodo: " << Utf8(report.labels.period) << "\n";
    WriteList("Verificación Física", report.physical);
    if (report.logical) {
      WriteList("Verificación Lógica", report.logical);
    } else if (report.refused) {
      m_out << "-- Verificación Lógica rechazada: " << Utf8(report.refusal) << "\n";
    } else {
      m_out << "-- Verificación Lógica: no habilitada (la lista física contiene errores)\n";
    }
    for (const std::string &path : report.saved) {
      m_out << "   Guardado: " << path << "\n";
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
    const std::string_view *field = nullptr;
    const std::string_view *message = nullptr;
    std::string field_utf8;
    std::string message_utf8;
    for (const ResultRow &row : *rows) {
      if (field == nullptr || row.field != *field) {
        field = &row.field;
        field_utf8 = Utf8(row.field);
      }
      if (message == nullptr || row.message != *message) {
        message = &row.message;
        message_utf8 = Utf8(row.message);
      }
      char record[16];
      char *const record_end = std::to_chars(record, record + sizeof record, row.record).ptr;
      lines.append("   ").append(record, record_end).append("\t").append(field_utf8);
      lines.append("\t").append(message_utf8).append("\n");
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
            << Utf8(group.field) << "\t" << Utf8(group.message) << "\tprimera en el registro "
            << group.first_record << "\n";
    }
  }

  static constexpr std::size_t kWriteSize = std::size_t{1} << 16;

  std::ostream &m_out;
  bool m_summary;
};

// Fields in the order they are inserted: the listing reads as the files are reported.
using Json = nlohmann::ordered_json;

Json List(const ResultList *rows) {
  if (!rows) {
    return nullptr;
  }
  Json list = Json::array();
  for (const ResultRow &row : *rows) {
    list.push_back({{"record", row.record},
                    {"field", Windows1252ToUtf8(row.field)},
                    {"message", Windows1252ToUtf8(row.message)}});
  }
  return list;
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

// One object per file, one file per line, each written as soon as its runs end.
class JsonWriter : public ReportWriter {
public:
  JsonWriter(std::ostream &out, bool summary) : m_out(out), m_summary(summary) {}

  void Write(const FileReport &report) override {
    const Counts physical = CountRows(report.physical);
    const Counts logical = CountRows(report.logical);
    Json file = {
        {"file", report.path},
        {"kind", report.kind},
        {"title", Utf8(report.title)},
        {"labels",
         {{"rut", Utf8(report.labels.rut)},
          {"razon_social", Utf8(report.labels.name)},
          {"periodo", Utf8(report.labels.period)}}},
        {"refused", report.refused},
        {"refusal", report.refused ? Json(Utf8(report.refusal)) : Json(nullptr)},
        {"physical", List(report.physical)},
        {"logical", List(report.logical)},
        {"errors", physical.errors + logical.errors},
        {"warnings", physical.warnings + logical.warnings},
        {"saved", report.saved},
    };
    if (m_summary) {
      file["summary"] = {{"physical", Groups(report.physical)},
                         {"logical", Groups(report.logical)}};
    }
    // A path given on the command line need not be UTF-8: what is not is replaced.
    m_out << (m_first ? "{\"files\":[\n" : ",\n")
          << file.dump(-1, ' ', false, Json::error_handler_t::replace);
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

std::unique_ptr<ReportWriter> MakeTextWriter(std::ostream &out, bool summary) {
  return std::make_unique<TextWriter>(out, summary);
}
std::unique_ptr<ReportWriter> MakeJsonWriter(std::ostream &out, bool summary) {
  return std::make_unique<JsonWriter>(out, summary);
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
