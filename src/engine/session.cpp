#include "engine/session.h"

#include "common/file_kind.h"
#include "common/text.h"
#include "common/windows1252.h"
#include "logical/rule_sets.h"

namespace verdalia {
namespace {

const std::string &WrongLetterMessage() {
  static const std::string text = "Los archivos posibles comienzan con P, D o S";
  return text;
}

Notice WrongLetterNotice() { return {"ERROR", WrongLetterMessage(), Notice::Icon::Critical}; }

// The refusal of a file that could not be read whole; nothing of the run has happened yet.
Notice ReadRefusal(const ReadResult &read, const FileKind &kind, int line_length,
                   const std::string &path) {
  const std::string shown_path = Utf8ToWindows1252(path);
  std::string text;
  switch (read.status) {
  case ReadStatus::WrongLength:
    text = "El archivo " + kind.title + " en la fila " + std::to_string(read.line_number) +
           " tiene un largo de fila incorrecto(" + std::to_string(read.line_length) +
           "), debe ser " + std::to_string(line_length) + ".";
    break;
  case ReadStatus::TooManyLines:
    text = Cp1252("El archivo ") + kind.title + " " + shown_path +
           Cp1252(" tiene más de 32767 filas; no se puede validar.");
    break;
  case ReadStatus::NotRegularFile:
    text = "No se puede leer el archivo " + shown_path + ": " + Cp1252(read.reason) + ".";
    break;
  case ReadStatus::CannotOpen:
  case ReadStatus::ReadError:
  case ReadStatus::Ok:
    text = "No se puede leer el archivo " + shown_path + ": " + Utf8ToWindows1252(read.reason) + ".";
    break;
  }
  return {Cp1252("Atención"), text, Notice::Icon::Critical};
}

void Report(ResultList &rows, int record, std::string_view field, std::string_view message) {
  rows.push_back(ResultRow{record, std::string(field), std::string(message)});
}

bool BeginsWith(std::string_view line, char type) { return !line.empty() && line[0] == type; }

// Record types, structure and order of the records; every finding is a row.
void CheckStructure(const DataFile &data, const FileKind &kind, ResultList &rows) {
  static const std::string kInvalidType =
      Cp1252("Error.Tipo de registro no es válido. No se puede validar.");
  std::array<int, 5> counts{};
  for (int k = 1; k <= data.NroFilas; ++k) {
    const std::string_view line = data.Lineas[static_cast<std::size_t>(k)];
    const char type = line.empty() ? '\0' : line[0];
    if (type != '\0' && kind.allowed_types.find(type) != std::string_view::npos) {
      ++counts[static_cast<std::size_t>(type - '0')];
    } else {
      Report(rows, k, "", kInvalidType);
    }
  }

  const std::string_view first = data.NroFilas >= 1 ? data.Lineas[1] : std::string_view();
  const std::string_view last =
      data.NroFilas >= 1 ? data.Lineas[static_cast<std::size_t>(data.NroFilas)] : std::string_view();
  const int closing_count = counts[static_cast<std::size_t>(kind.closing_type - '0')];
  const std::string closing(1, kind.closing_type);

  if (counts[1] == 0) {
    Report(rows, 1, "", "Error.Archivo no contiene registro tipo 1.");
  }
  if (!BeginsWith(first, '1')) {
    Report(rows, 1, "", "Error.Registro tipo 1 no es el primero del archivo.");
  }
  if (counts[1] > 1) {
    Report(rows, 1, "", Cp1252("Error.Existe más de un registro tipo 1 en el archivo."));
  }
  if (closing_count == 0) {
    Report(rows, data.NroFilas, "", "Error.Archivo no contiene registro tipo " + closing + ".");
  }
  if (!BeginsWith(last, kind.closing_type)) {
    Report(rows, data.NroFilas, "",
           "Error.Registro tipo " + closing + Cp1252(" no es el último del archivo."));
  }
  if (closing_count > 1) {
    Report(rows, data.NroFilas, "",
           Cp1252("Error.Existe más de un registro tipo ") + closing + " en el archivo.");
  }
}

} // namespace

std::string JoinPath(const std::string &folder, const std::string &file_name) {
  if (folder.empty() || folder.back() == '/') {
    return folder + file_name;
  }
  return folder + "/" + file_name;
}

Session::Session(ReferenceData reference, NumberFormat numbers)
    : m_reference(std::move(reference)), m_checks(m_reference), m_numbers(std::move(numbers)) {
  m_lblFisica[0] = "PRODUCCION VERDALIA";
  m_lblLogica[0] = "PRODUCCION VERDALIA";
}

RunOutcome Session::RunPhysical(const std::string &folder, const std::string &file_name) {
  RunOutcome outcome;
  const std::string name = Utf8ToWindows1252(file_name);
  const auto kind = KindOfFileName(name);
  if (!kind) {
    outcome.refused = true;
    outcome.notice = WrongLetterNotice();
    return outcome;
  }
  m_lblFisica[0] = kind->title;
  m_lblLogica[0] = kind->title;

  const std::string path = JoinPath(folder, file_name);
  const int line_length = m_reference.LargoFila[static_cast<std::size_t>(kind->number)];
  DataFile file;
  const ReadResult read = ReadDataFile(path, line_length, file);
  if (read.status != ReadStatus::Ok) {
    outcome.refused = true;
    outcome.notice = ReadRefusal(read, *kind, line_length, path);
    return outcome;
  }
  m_data = std::move(file);

  m_physical.clear();
  m_logical.clear();
  CheckStructure(m_data, *kind, m_physical);

  const std::string_view period = Mid(name, 2, 6);
  if (m_data.NroFilas >= 1 && Mid(m_data.Lineas[1], 2, 6) != period) {
    Report(m_physical, 1, "FECHA_CIERRE",
           Cp1252("Error.El período informado como parte del nombre del archivo no coincide con "
                  "la fecha de cierre"));
  }
  m_lblLogica[3] = std::string(period);
  m_lblFisica[3] = std::string(period);

  // An empty file has no header to check, a one-line file no control record of its own.
  if (m_data.NroFilas >= 1) {
    m_checks.RevisaRegUno_Fisico(kind->number, m_data.Lineas[1], 1, m_physical, m_lblFisica,
                                 m_lblLogica);
  }
  for (int k = 2; k <= m_data.NroFilas - 1; ++k) {
    const std::string_view line = m_data.Lineas[static_cast<std::size_t>(k)];
    if (BeginsWith(line, '2')) {
      m_checks.RevisaRegFilas_Fisico(kind->number, "2", line, k, m_physical);
    } else if (BeginsWith(line, '3')) {
      m_checks.RevisaRegFilas_Fisico(kind->number, "3", line, k, m_physical);
    }
  }
  if (m_data.NroFilas >= 2) {
    m_checks.RevisaRegControl(kind->number, m_data.Lineas[static_cast<std::size_t>(m_data.NroFilas)],
                              m_data.NroFilas, m_physical);
  }

  outcome.notice = {"Verificar", Cp1252("Verificación Física finalizada"),
                    Notice::Icon::Information};
  outcome.tab_shown = 1;
  outcome.logical_enabled = OnlyWarnings(m_physical);
  return outcome;
}

RunOutcome Session::RunLogical(const std::string &folder, const std::string &file_name) {
  RunOutcome outcome;
  const std::string name = Utf8ToWindows1252(file_name);
  const auto kind = KindOfFileName(name);
  if (!kind) {
    outcome.refused = true;
    outcome.notice = WrongLetterNotice();
    return outcome;
  }
  m_lblFisica[0] = kind->title;
  m_lblLogica[0] = kind->title;

  // The logical run works on the file as it is now, not on what the physical run read.
  const std::string path = JoinPath(folder, file_name);
  const int line_length = m_reference.LargoFila[static_cast<std::size_t>(kind->number)];
  DataFile file;
  const ReadResult read = ReadDataFile(path, line_length, file);
  if (read.status != ReadStatus::Ok) {
    outcome.refused = true;
    outcome.notice = ReadRefusal(read, *kind, line_length, path);
    return outcome;
  }
  // A file emptied since the physical run has no header to take the labels from.
  if (file.NroFilas == 0) {
    outcome.refused = true;
    outcome.notice = {Cp1252("Atención"),
                      Cp1252("El archivo ") + kind->title + " " + Utf8ToWindows1252(path) +
                          Cp1252(" está vacío; no se puede validar."),
                      Notice::Icon::Critical};
    return outcome;
  }
  m_data = std::move(file);

  // The opening every rule set performs: labels from the header's fixed positions and the
  // file name, then an empty logical list.
  const std::string_view header = m_data.NroFilas >= 1 ? m_data.Lineas[1] : std::string_view();
  const std::string rut = std::string(Trim(Mid(header, 10, 9))) + "-" + std::string(Mid(header, 19, 1));
  const std::string razon(Trim(Mid(header, 20, 80)));
  const std::string period(Mid(name, 2, 6));
  m_lblFisica[1] = rut;
  m_lblFisica[2] = razon;
  m_lblLogica[3] = period;
  m_lblLogica[1] = rut;
  m_lblLogica[2] = razon;
  m_lblFisica[3] = period;
  m_logical.clear();

  const LogicalContext context{m_data.Lineas, m_data.NroFilas, m_reference.CodigosComuna,
                               m_reference.CodigosCultivo, m_numbers};
  switch (kind->number) {
  case 1:
    Verifica_LogicaP(context, m_logical);
    break;
  case 2:
    Verifica_LogicaD(context, m_logical);
    break;
  default:
    Verifica_LogicaS(context, m_logical);
    break;
  }

  outcome.notice = {"Verificar", Cp1252("Verificación Lógica finalizada"),
                    Notice::Icon::Information};
  outcome.tab_shown = 2;
  return outcome;
}

} // namespace verdalia
