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

HeaderRun Text(std::string text, bool bold = false) {
  return HeaderRun{Cp1252Text(std::move(text)), bold, false};
}

constexpr FixedText kPhysical = "Física";
constexpr FixedText kLogical = "Lógica";

} // namespace

Cp1252View VerificationName(ListKind kind) {
  return kind == ListKind::Logical ? Cp1252View(kLogical) : Cp1252View(kPhysical);
}

std::string PrintDateText(int year, int month, int day, std::string_view separator) {
  std::string text = TwoDigits(day);
  text += separator;
  text += TwoDigits(month);
  text += separator;
  text += FourDigits(year);
  return text;
}

std::vector<HeaderLine> PrintHeaderLines(const PrintHeaderInputs &inputs) {
  static const std::string result = Cp1252("Resultado validación ");
  static const std::string page = Cp1252("Página:");
  static const std::string name = Cp1252("Razón Social: ");
  static const std::string period = Cp1252("Período: ");
  std::vector<HeaderLine> lines(6);
  lines[0].centre = {Text(result + inputs.verification.bytes())};
  lines[1].centre = {Text(inputs.title.bytes(), true)};
  lines[2].left = {Text("RUT: " + inputs.rut.bytes())};
  lines[2].right = {Text(page), HeaderRun{{}, false, true}};
  lines[3].left = {Text(name + inputs.name.bytes())};
  lines[3].right = {Text("Fecha:" + inputs.date.bytes())};
  lines[4].left = {Text(period + inputs.period.bytes())};
  return lines;
}

} // namespace verdalia
