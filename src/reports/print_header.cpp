#include "reports/print_header.h"

#include <cstdio>

#include "common/windows1252.h"

namespace verdalia {
namespace {

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::string FourDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d", value);
  return buffer;
}

// Appends text to a part, joining it to the part's last run when the weight is the same.
void AppendText(std::vector<HeaderRun> &part, std::string_view text, bool bold) {
  if (text.empty()) {
    return;
  }
  if (!part.empty() && !part.back().page_number && part.back().bold == bold) {
    part.back().text += text;
    return;
  }
  part.push_back(HeaderRun{std::string(text), bold, false});
}

bool IsEmpty(const HeaderLine &line) {
  return line.left.empty() && line.centre.empty() && line.right.empty();
}

} // namespace

const std::string &VerificationName(ListKind kind) {
  static const std::string fisica = Cp1252("Física");
  static const std::string logica = Cp1252("Lógica");
  return kind == ListKind::Logical ? logica : fisica;
}

std::string PrintDateText(int year, int month, int day, std::string_view separator) {
  std::string text = TwoDigits(day);
  text += separator;
  text += TwoDigits(month);
  text += separator;
  text += FourDigits(year);
  return text;
}

std::string PrintHeaderText(const PrintHeaderInputs &inputs) {
  static const std::string resultado = Cp1252("/cResultado validación ");
  static const std::string pagina = Cp1252("/rPágina:/p/n");
  static const std::string razon = Cp1252("/lRazón Social: ");
  static const std::string periodo = Cp1252("/lPeríodo: ");
  return resultado + inputs.verification + "/n" + "/c/fb1" + inputs.title + "/fb0/n" +
         "/lRUT: " + inputs.rut + pagina + razon + inputs.name + "/rFecha:" + inputs.date + "/n" +
         periodo + inputs.period + "/n/n";
}

std::vector<HeaderLine> ParseHeaderCodes(std::string_view codes) {
  std::vector<HeaderLine> lines;
  HeaderLine line;
  std::vector<HeaderRun> *part = &line.left;
  bool bold = false;
  std::size_t i = 0;
  while (i < codes.size()) {
    const std::string_view rest = codes.substr(i);
    if (rest.starts_with("/fb1") || rest.starts_with("/fb0")) {
      bold = rest[3] == '1';
      i += 4;
    } else if (rest.starts_with("/l")) {
      part = &line.left;
      i += 2;
    } else if (rest.starts_with("/c")) {
      part = &line.centre;
      i += 2;
    } else if (rest.starts_with("/r")) {
      part = &line.right;
      i += 2;
    } else if (rest.starts_with("/n")) {
      lines.push_back(std::move(line));
      line = HeaderLine{};
      part = &line.left;
      i += 2;
    } else if (rest.starts_with("/p")) {
      part->push_back(HeaderRun{"", bold, true});
      i += 2;
    } else {
      // Plain text up to the next slash that may start a code.
      std::size_t end = codes.find('/', i + 1);
      if (end == std::string_view::npos) {
        end = codes.size();
      }
      AppendText(*part, codes.substr(i, end - i), bold);
      i = end;
    }
  }
  if (!IsEmpty(line)) {
    lines.push_back(std::move(line));
  }
  return lines;
}

} // namespace verdalia
