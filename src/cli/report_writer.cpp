#include "cli/report_writer.h"

#include <charconv>
#include <cstdio>

#include "common/windows1252.h"

namespace verdalia::cli {
namespace {

std::string Utf8(const std::string &text) { return Windows1252ToUtf8(text); }

class TextWriter : public ReportWriter {
public:
  explicit TextWriter(std::ostream &out) : m_out(out) {}

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
    m_out << "   RUT: " << Utf8(report.labels[1]) << "\n";
    m_out << "   Razón Social: " << Utf8(report.labels[2]) << "\n";
    m_out << "   Periodo: " << Utf8(report.labels[3]) << "\n";
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
          << ", " << counts.warnings
          << (counts.warnings == 1 ? " advertencia" : " advertencias") << "\n";
    // A list can run to tens of thousands of rows that repeat a few fields and messages: a
    // text is converted only when it differs from the row before's, and the lines are
    // gathered and written in large pieces.
    std::string lines;
    const std::string *field = nullptr;
    const std::string *message = nullptr;
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

  static constexpr std::size_t kWriteSize = std::size_t{1} << 16;

  std::ostream &m_out;
};

std::string JsonString(const std::string &utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (byte < 0x20) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
        out += buffer;
      } else {
        out += c;
      }
    }
  }
  out += "\"";
  return out;
}

class JsonWriter : public ReportWriter {
public:
  explicit JsonWriter(std::ostream &out) : m_out(out) {}

  void Write(const FileReport &report) override {
    m_out << (m_first ? "{\"files\":[\n" : ",\n");
    m_first = false;
    m_out << "{\"file\":" << JsonString(report.path) << ",\"kind\":" << JsonString(report.kind)
          << ",\"title\":" << JsonString(Utf8(report.title)) << ",\"labels\":{\"rut\":"
          << JsonString(Utf8(report.labels[1]))
          << ",\"razon_social\":" << JsonString(Utf8(report.labels[2]))
          << ",\"periodo\":" << JsonString(Utf8(report.labels[3])) << "}"
          << ",\"refused\":" << (report.refused ? "true" : "false") << ",\"refusal\":"
          << (report.refused ? JsonString(Utf8(report.refusal)) : std::string("null"));
    WriteList("physical", report.physical);
    WriteList("logical", report.logical);
    const Counts physical = CountRows(report.physical);
    const Counts logical = CountRows(report.logical);
    m_out << ",\"errors\":" << physical.errors + logical.errors
          << ",\"warnings\":" << physical.warnings + logical.warnings << ",\"saved\":[";
    for (std::size_t i = 0; i < report.saved.size(); ++i) {
      m_out << (i ? "," : "") << JsonString(report.saved[i]);
    }
    m_out << "]}";
  }

  void Finish() override {
    m_out << (m_first ? "{\"files\":[]}\n" : "\n]}\n");
    m_out.flush();
  }

private:
  void WriteList(const char *name, const ResultList *rows) {
    m_out << ",\"" << name << "\":";
    if (!rows) {
      m_out << "null";
      return;
    }
    m_out << "[";
    for (std::size_t i = 0; i < rows->size(); ++i) {
      const ResultRow &row = (*rows)[i];
      m_out << (i ? "," : "") << "{\"record\":" << row.record
            << ",\"field\":" << JsonString(Utf8(row.field))
            << ",\"message\":" << JsonString(Utf8(row.message)) << "}";
    }
    m_out << "]";
  }

  std::ostream &m_out;
  bool m_first = true;
};

} // namespace

std::unique_ptr<ReportWriter> MakeTextWriter(std::ostream &out) {
  return std::make_unique<TextWriter>(out);
}
std::unique_ptr<ReportWriter> MakeJsonWriter(std::ostream &out) {
  return std::make_unique<JsonWriter>(out);
}

Counts CountRows(const ResultList *rows) {
  Counts counts;
  if (rows) {
    for (const ResultRow &row : *rows) {
      ++(IsWarning(row) ? counts.warnings : counts.errors);
    }
  }
  return counts;
}

} // namespace verdalia::cli
