#pragma once

// The three rule sets written the plain way: every search scans the records in file order
// and stops where the rule says. Slow (the square of the file) but a direct reading of the
// rules, so the indexed rule sets are checked against it row for row.

#include <cmath>
#include <string>
#include <string_view>

#include "common/result.h"
#include "common/text.h"
#include "common/windows1252.h"
#include "logical/number_text.h"
#include "logical/rule_sets.h"
#include "logical/text_order.h"

namespace verdalia::testing::naive {

inline char TypeOf(std::string_view line) {
  return line.empty() ? '\0' : line[0];
}

inline void Add(ResultList &rows, int record, const char *field, const std::string &utf8) {
  rows.push_back(ResultRow{record, field, Cp1252(utf8)});
}

inline void ProductionRules(const LogicalContext &c, ResultList &rows) {
  const int last = c.NroFilas - 1;
  auto L = [&](int k) { return c.Lineas[static_cast<std::size_t>(k)]; };
  for (int i = 2; i <= last; ++i) {
    const std::string_view r = L(i);
    if (TypeOf(r) == '2') {
      const std::string_view pol = Mid(r, 18, 15), end = Mid(r, 36, 11), tipo = Mid(r, 17, 1);
      auto belongs = [&](int j) {
        return TypeOf(L(j)) == '3' && Mid(L(j), 2, 15) == pol && Mid(L(j), 181, 11) == end;
      };
      bool found = false;
      for (int j = i + 1; j <= last && !found; ++j) {
        found = belongs(j);
      }
      if (!found) {
        Add(rows, i, "NUMERO_POLIZA + NUMERO_ENDOSO",
            "Error. Registro tipo 2 no tiene asociado un registro tipo 3");
        return;
      }
      std::string previous;
      for (int j = i + 1; j <= last; ++j) {
        if (belongs(j)) {
          const std::string key = std::string(Mid(L(j), 17, 4)) + std::string(Mid(L(j), 192, 2));
          if (key == previous) {
            Add(rows, j, "NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM + TIPO_ENDOSO ",
                "Error. Registro repetido");
            break;
          }
          previous = key;
        }
      }
      const double nivel = FixedPointValue(Mid(r, 33, 3), 1, 2);
      if (nivel <= 0 || nivel > 1) {
        Add(rows, i, "NIVEL_COBERTURA", "Error. Nivel de Cobertura fuera de rango");
      }
      if (c.CodigosComuna.Text().find(std::string(Mid(r, 331, 5)) + '\xA6') == std::string::npos) {
        Add(rows, i, "COD_COMUNA",
            "Error. Código de Comuna informado no es válido de acuerdo a NS vigente.");
      }
      if (c.CodigosCultivo.Text().find(std::string(Mid(r, 336, 6)) + '\xA6') == std::string::npos) {
        Add(rows, i, "COD_CULTIVO", "Error. Código de cultivo informado no es válido.");
      }
      if (Mid(r, 71, 10) == Mid(r, 201, 10) && Mid(r, 81, 120) != Mid(r, 211, 120)) {
        Add(rows, i, "RUT_ASEGURADO + VER_ASEGURADO y RUT_CONTRATANTE + VER CONTRATANTE",
            "Error. Informa igual RUT para Asegurado y Contratante, pero con diferente nombre o "
            "razón social");
      }
      if (tipo == "P" && LeadingNumberValue(Mid(r, 36, 11)) != 0) {
        Add(rows, i, "NUMERO_ENDOSO", "Error. Informa Número de Endoso para nueva Póliza.");
      }
      if (tipo == "E" && LeadingNumberValue(Mid(r, 36, 11)) == 0) {
        Add(rows, i, "NUMERO_ENDOSO", "Error. No informa Número de Endoso.");
      }
      if (tipo == "P" && LeadingNumberValue(Mid(r, 360, 6)) == 0) {
        Add(rows, i, "PRIMA_FIJA", "Error. No informa prima fija para nueva Póliza.");
      }
      if (tipo == "E") {
        for (int j = i + 1; j <= last; ++j) {
          if (TypeOf(L(j)) == '3' && Mid(L(j), 2, 15) == pol) {
            if (Mid(L(j), 192, 2) == "C " && LeadingNumberValue(Mid(r, 360, 6)) == 0) {
              Add(rows, i, "PRIMA_FIJA",
                  "Error. No informa prima fija para endoso de cancelación (sólo si "
                  "TIPO_INFORMACION=E y TIPO_ENDOSO=C ).");
              break;
            }
          }
        }
      }
      std::string t;
      for (int j = i + 1; j <= last; ++j) {
        if (belongs(j)) {
          t = std::string(Mid(L(j), 192, 2));
        }
      }
      if (tipo == "E" && (t == "D " || t == "A " || t == "CA" || t == "RE") &&
          LeadingNumberValue(Mid(r, 360, 6)) != 0) {
        rows.push_back(
            ResultRow{i, "PRIMA_FIJA", "Error. Informa prima fija para Endoso de tipo " + t + "."});
      }
      if (tipo == "P") {
        const double ma = FixedPointValue(Mid(r, 366, 7), 5, 2);
        const double f = FixedPointValue(Mid(r, 349, 7), 3, 4);
        double s = 0;
        std::string last_type;
        for (int j = i + 1; j <= last; ++j) {
          if (belongs(j)) {
            const double a = FixedPointValue(Mid(L(j), 173, 8), 6, 2);
            const double b = FixedPointValue(Mid(L(j), 166, 7), 5, 2);
            s = s + a * b;
            last_type = std::string(Mid(L(j), 192, 2));
          }
        }
        const double computed = RoundToCents(s * f);
        const std::string texts = PlainNumberText(computed, c.numbers) + " e informa " +
                                  PlainNumberText(ma, c.numbers) + ".";
        if (last_type == "CA" || std::fabs(ma - computed) <= 0.0000001) {
        } else if (computed * 0.95 <= ma && ma <= computed * 1.05 &&
                   std::fabs(ma - computed) > 0.1) {
          rows.push_back(ResultRow{
              i, "MONTO_ASEGURADO",
              Cp1252("Advertencia. Cálculo no es exacto. Monto Asegurado debe ser ") + texts});
        } else if (ma < computed * 0.95 || ma > computed * 1.05) {
          rows.push_back(ResultRow{
              i, "MONTO_ASEGURADO",
              Cp1252("Error. En el cálculo del Monto Asegurado. Monto Asegurado debe ser ") +
                  texts});
        }
      }
      const double pn = FixedPointValue(Mid(r, 373, 6), 4, 2);
      if (tipo == "P" && pn < 3.5) {
        Add(rows, i, "PRIMA_NETA",
            "Error. Prima Neta informada menor a prima mínima establecida en Normas de "
            "Suscripción.");
      }
      if (tipo == "E" && pn > 4.5) {
        const double pf = FixedPointValue(Mid(r, 360, 6), 4, 2);
        const double rate = FixedPointValue(Mid(r, 356, 4), 2, 2);
        const double ma = FixedPointValue(Mid(r, 366, 7), 5, 2);
        double computed = pf + ma * rate / 100;
        computed = RoundToCents(computed);
        if (pn < computed * 0.95 || pn > computed * 1.05) {
          rows.push_back(ResultRow{i, "PRIMA_NETA",
                                   Cp1252("Error. Error en el cálculo de la Prima Neta, informa ") +
                                       TwoDecimalText(pn, c.numbers) + ", y debe ser " +
                                       TwoDecimalText(computed, c.numbers)});
        }
      }
      if (!SortsAfter(Mid(r, 55, 8), Mid(r, 47, 8))) {
        Add(rows, i, "FECHA_VIGENCIA_INICIAL",
            "Error. Fecha vigencia inicial mayor a fecha vigencia final");
      }
    } else if (TypeOf(r) == '3') {
      const std::string_view pol = Mid(r, 2, 15), end = Mid(r, 181, 11);
      int policy = 0;
      for (int j = 2; j <= last && policy == 0; ++j) {
        if (TypeOf(L(j)) == '2' && Mid(L(j), 18, 15) == pol && Mid(L(j), 36, 11) == end) {
          policy = j;
        }
      }
      if (policy == 0) {
        Add(rows, i, "NUMERO_POLIZA",
            "Error. Registro tipo 3 no tiene asociado un registro tipo 2.");
        return;
      }
      const std::string_view tipo = Mid(L(policy), 17, 1);
      if (tipo == "P") {
        for (int j = i + 1; j <= last; ++j) {
          if (TypeOf(L(j)) == '3' && Mid(L(j), 2, 15) == pol && Mid(L(j), 17, 4) == Mid(r, 17, 4) &&
              Mid(L(j), 181, 11) == end) {
            Add(rows, i, "NUMERO_POLIZA + NUMERO_ENDOSO + NUMERO_ITEM",
                "Error. Registro repetido para nuevo ítem.");
            return;
          }
        }
      }
      if (tipo == "E") {
        for (int j = i + 1; j <= last; ++j) {
          if (TypeOf(L(j)) == '3' && L(j) == r) {
            Add(rows, i, "NUMERO_POLIZA + NUMERO_ITEM", "Error. Registro repetido para endoso.");
            return;
          }
        }
      }
    }
  }
}

inline const char *CauseMessage(std::string_view causes) {
  if (causes == "111111")
    return "Error. Informa 6 Causas de Siniestro.";
  if (causes == "110000")
    return "Error. Informa sequía agrícola y lluvia excesiva/extemporánea simultáneamente.";
  if (causes == "000000")
    return "Error. No informa Causa del Siniestro.";
  if (causes == "101000")
    return "Advertencia. Informa sequía agrícola y helada simultáneamente.";
  if (causes == "100100")
    return "Advertencia. Informa sequía agrícola y granizo simultáneamente.";
  if (causes == "100010")
    return "Advertencia. Informa sequía agrícola y nieve simultáneamente.";
  return nullptr;
}

inline void ClaimsRules(const LogicalContext &c, ResultList &rows) {
  const int last = c.NroFilas - 1;
  auto L = [&](int k) { return c.Lineas[static_cast<std::size_t>(k)]; };
  const char *key_field = "NUMERO_SINIESTRO + NUMERO_POLIZA";
  for (int i = 2; i <= last; ++i) {
    const std::string_view r = L(i);
    if (TypeOf(r) == '2') {
      const std::string key = std::string(Mid(r, 18, 15)) + std::string(Mid(r, 3, 15));
      bool found = false;
      for (int j = 2; j <= last && !found; ++j) {
        found = TypeOf(L(j)) == '3' &&
                std::string(Mid(L(j), 17, 15)) + std::string(Mid(L(j), 2, 15)) == key;
      }
      if (!found) {
        Add(rows, i, key_field, "Error. Registro tipo 2 no tiene asociado un registro tipo 3.");
        return;
      }
      if (SortsAfter(Mid(r, 41, 8), Mid(r, 33, 8))) {
        Add(rows, i, "FECHA_OCURRENCIA",
            "Error. Fecha Ocurrencia mayor a Fecha Declaración del siniestro.");
      }
      if (LeadingNumberValue(Mid(r, 49, 8)) == 0) {
        Add(rows, i, "FECHA_INFORME", "Error. No informa fecha de informe.");
      }
      if (LeadingNumberValue(Mid(r, 49, 8)) != 0 && SortsAfter(Mid(r, 33, 8), Mid(r, 49, 8))) {
        Add(rows, i, "FECHA_INFORME",
            "Error. Fecha Informe Liquidación menor a Fecha Declaración del siniestro.");
      }
      if (FixedPointValue(Mid(r, 63, 14), 12, 2) <= 0) {
        Add(rows, i, "GASTOS_SINIESTRO", "Advertencia. No informa gastos de siniestro.");
      }
      if (const char *message = CauseMessage(Mid(r, 57, 6))) {
        Add(rows, i, "CAUSA_SINIESTRO", message);
      }
    } else if (TypeOf(r) == '3') {
      const std::string key = std::string(Mid(r, 17, 15)) + std::string(Mid(r, 2, 15));
      std::string resolution;
      bool found = false;
      for (int j = 2; j <= last && !found; ++j) {
        if (TypeOf(L(j)) == '2' &&
            std::string(Mid(L(j), 18, 15)) + std::string(Mid(L(j), 3, 15)) == key) {
          found = true;
          resolution = std::string(Mid(L(j), 2, 1));
        }
      }
      if (!found) {
        Add(rows, i, key_field, "Error. Registro tipo 3 no tiene asociado un registro tipo 2.");
        return;
      }
      const std::string duplicate = key + std::string(Mid(r, 32, 4));
      for (int j = i + 1; j <= last; ++j) {
        if (TypeOf(L(j)) == '3' && std::string(Mid(L(j), 17, 15)) + std::string(Mid(L(j), 2, 15)) +
                                           std::string(Mid(L(j), 32, 4)) ==
                                       duplicate) {
          Add(rows, i, key_field, "Error. Número siniestro repetido  para igual item.");
          break;
        }
      }
      const std::string_view loss = Mid(r, 51, 1), itype = Mid(r, 66, 1);
      const double indemnity = LeadingNumberValue(Mid(r, 52, 14));
      const double production = LeadingNumberValue(Mid(r, 67, 10));
      if (resolution == "R" && loss != "X") {
        Add(rows, i, "TIPO_PERDIDA", "Error. Informa Tipo de Pérdida en siniestro rechazado.");
      }
      if (resolution == "A" && loss != "P" && loss != "T") {
        Add(rows, i, "TIPO_PERDIDA", "Error. No informa Tipo de Pérdida en siniestro aceptado.");
      }
      if ((resolution == "E" || resolution == "A") && indemnity < 0) {
        Add(rows, i, "INDEMNIZACION", "Error. Informa Indemnización menor que cero.");
      }
      if (resolution == "R" && itype != "X") {
        Add(rows, i, "TIPO_INDEMNIZACION",
            "Error:  TIPO_INDEMNIZACION informada no es válido para Siniestro rechazado.");
      }
      if (resolution == "A" && itype != "M" && itype != "C") {
        Add(rows, i, "TIPO_INDEMNIZACION",
            "Error:  TIPO_INDEMNIZACION informada no es válido para Siniestro Aceptado.");
      }
      if (resolution == "R" && itype == "X" && indemnity != 0) {
        Add(rows, i, "INDEMNIZACION",
            "Error: Indemnización debe ser cero para siniestro rechazado.");
      }
      if (resolution == "R" && production != 0) {
        Add(rows, i, "PRODUCCION_REAL",
            "Error. Informa Producción Agrícola en siniestro rechazado.");
      }
      if (loss == "T" && production != 0) {
        Add(rows, i, "PRODUCCION_REAL",
            "Error. Informa Producción Agrícola en siniestro con pérdida total.");
      }
    }
  }
}

inline void NoticeRules(const LogicalContext &c, ResultList &rows) {
  const int last = c.NroFilas - 1;
  auto L = [&](int k) { return c.Lineas[static_cast<std::size_t>(k)]; };
  for (int i = 2; i <= last; ++i) {
    const std::string_view r = L(i);
    if (TypeOf(r) != '2') {
      continue;
    }
    for (int j = i + 1; j <= last; ++j) {
      if (TypeOf(L(j)) == '2' && Mid(L(j), 2, 15) == Mid(r, 2, 15) &&
          Mid(L(j), 32, 19) == Mid(r, 32, 19)) {
        Add(rows, i, "NUMERO_SINIESTRO+NUMERO_POLIZA",
            "Error. Número de siniestro repetido en el archivo.");
        break;
      }
    }
    if (SortsAfter(Mid(r, 55, 8), Mid(r, 47, 8))) {
      Add(rows, i, "FECHA_OCURRENCIA",
          "Error. Fecha de Ocurrencia mayor a fecha de Declaración del siniestro.");
    }
    if (const char *message = CauseMessage(Mid(r, 63, 6))) {
      Add(rows, i, "CAUSA_SINIESTRO", message);
    }
    if (LeadingNumberValue(Mid(r, 69, 14)) == 0) {
      Add(rows, i, "PROVISION", "Advertencia. No informa provisión.");
    }
  }
}

} // namespace verdalia::testing::naive
