// Claims-information files: claims (records "2") and their details per item (records "3").
#include <cstdio>

#include "gen/builders.h"
#include "gen/domain.h"

namespace verdalia::gen {
namespace {

struct Detail {
  int item = 1;
  long long area = 0;   // hundredths of a hectare
  long long damage = 0; // hundredths of a percent
  std::string loss;     // "P" partial, "T" total, "X" none
  long long indemnity = 0;
  std::string indemnity_type; // "M", "C", "X" none
  long long production = 0;
  std::string paid = "00000000";
};

struct Claim {
  std::string state; // "A" accepted, "R" rejected, "E" being settled
  std::string policy;
  std::string claim;
  Date declared;
  std::string occurred;
  std::string report;
  std::string causes;
  long long expenses = 0; // cents of UF
  Party adjuster;
  std::vector<Detail> details;
};

std::string Numbered(const char *prefix, int year, long long number) {
  char text[32];
  std::snprintf(text, sizeof text, "%s-%04d-%06lld", prefix, year, number % 1000000);
  return text;
}

Date ParseDate(const std::string &text) {
  return {std::stoi(text.substr(0, 4)), std::stoi(text.substr(4, 2)), std::stoi(text.substr(6, 2))};
}

// What a detail reports follows from the claim's resolution: a rejected claim has no loss,
// indemnity or production; an accepted one a partial or total loss and how it is paid.
void Settle(Context &context, const Claim &claim, Detail &detail) {
  Random &random = context.random;
  detail.paid = "00000000";
  if (claim.state == "A") {
    detail.loss = random.Chance(0.7) ? "P" : "T";
    detail.indemnity_type = random.Chance(0.5) ? "M" : "C";
    detail.indemnity = random.Between(100000, 40000000);
    detail.production = detail.loss == "P" ? random.Between(10, 5000) : 0;
    detail.damage = detail.loss == "T" ? 10000 : random.Between(1000, 9000);
    if (random.Chance(0.6)) {
      const Date report = ParseDate(claim.report);
      const long days = DaysFromCivil(context.closing) - DaysFromCivil(report);
      detail.paid = DateText(AddDays(report, random.Between(0, days > 0 ? days : 0)));
    }
  } else if (claim.state == "R") {
    detail.loss = "X";
    detail.indemnity_type = "X";
    detail.indemnity = 0;
    detail.production = 0;
    detail.damage = random.Between(0, 2000);
  } else {
    detail.loss = random.Chance(0.5) ? "P" : "X";
    detail.indemnity_type = "X";
    detail.indemnity = 0;
    detail.production = detail.loss == "P" ? random.Between(10, 5000) : 0;
    detail.damage = random.Between(0, 9000);
  }
}

Claim MakeClaim(Context &context, long long sequence, int detail_count) {
  Random &random = context.random;
  Claim claim;
  const long long draw = random.Between(0, 99);
  claim.state = draw < 60 ? "A" : draw < 80 ? "R" : "E";
  claim.declared = AddDays(context.closing, -random.Between(5, 150));
  claim.claim = Numbered("SIN", claim.declared.year, sequence);
  claim.policy = Numbered("AGR", claim.declared.year - static_cast<int>(random.Between(0, 1)),
                          random.Between(1000, 999999));
  claim.occurred = DateText(AddDays(claim.declared, -random.Between(0, 20)));
  const long days = DaysFromCivil(context.closing) - DaysFromCivil(claim.declared);
  claim.report = DateText(AddDays(claim.declared, random.Between(0, days)));
  claim.causes = PlausibleCauses(random);
  claim.expenses = random.Between(150, 4000);
  claim.adjuster = RandomPerson(random);
  for (int k = 0; k < detail_count; ++k) {
    Detail detail;
    detail.item = k + 1;
    detail.area = random.Between(50, 5000);
    Settle(context, claim, detail);
    claim.details.push_back(detail);
  }
  return claim;
}

enum class Fault {
  OccurredAfterDeclared,
  NoReportDate,
  ReportBeforeDeclared,
  NoExpenses,
  FlaggedCauses,
  RejectedWithLoss,
  AcceptedWithoutLoss,
  RejectedWithIndemnityType,
  AcceptedWithoutIndemnityType,
  RejectedWithIndemnity,
  RejectedWithProduction,
  TotalLossWithProduction,
  RepeatedItem,
};

// Gives the claim the resolution a detail fault needs, with details that agree with it.
void Resolve(Context &context, Claim &claim, const char *state) {
  if (claim.state != state) {
    claim.state = state;
    for (Detail &detail : claim.details) {
      Settle(context, claim, detail);
    }
  }
}

std::vector<Fault> FaultsFor(const Claim &claim) {
  std::vector<Fault> faults = {Fault::OccurredAfterDeclared,
                               Fault::NoReportDate,
                               Fault::ReportBeforeDeclared,
                               Fault::NoExpenses,
                               Fault::FlaggedCauses,
                               Fault::RejectedWithLoss,
                               Fault::AcceptedWithoutLoss,
                               Fault::RejectedWithIndemnityType,
                               Fault::AcceptedWithoutIndemnityType,
                               Fault::RejectedWithIndemnity,
                               Fault::RejectedWithProduction,
                               Fault::TotalLossWithProduction};
  if (claim.details.size() >= 2) {
    faults.push_back(Fault::RepeatedItem);
  }
  return faults;
}

void Inject(Context &context, Claim &claim) {
  Random &random = context.random;
  Detail &first = claim.details.front();
  switch (random.Pick(FaultsFor(claim))) {
  case Fault::OccurredAfterDeclared:
    claim.occurred = DateText(AddDays(claim.declared, random.Between(1, 10)));
    break;
  case Fault::NoReportDate:
    claim.report = "00000000";
    break;
  case Fault::ReportBeforeDeclared:
    claim.report = DateText(AddDays(claim.declared, -random.Between(1, 10)));
    break;
  case Fault::NoExpenses:
    claim.expenses = 0;
    break;
  case Fault::FlaggedCauses:
    claim.causes = FlaggedCauses(random);
    break;
  case Fault::RejectedWithLoss:
    Resolve(context, claim, "R");
    first.loss = "P";
    break;
  case Fault::AcceptedWithoutLoss:
    Resolve(context, claim, "A");
    first.loss = "X";
    break;
  case Fault::RejectedWithIndemnityType:
    Resolve(context, claim, "R");
    first.indemnity_type = random.Chance(0.5) ? "M" : "C";
    break;
  case Fault::AcceptedWithoutIndemnityType:
    Resolve(context, claim, "A");
    first.indemnity_type = "X";
    break;
  case Fault::RejectedWithIndemnity:
    Resolve(context, claim, "R");
    first.indemnity = random.Between(50000, 900000);
    break;
  case Fault::RejectedWithProduction:
    Resolve(context, claim, "R");
    first.production = random.Between(10, 900);
    break;
  case Fault::TotalLossWithProduction:
    Resolve(context, claim, "A");
    first.loss = "T";
    first.production = random.Between(10, 900);
    break;
  case Fault::RepeatedItem:
    claim.details[1].item = first.item;
    break;
  }
}

Record ClaimRecord(const Claim &claim) {
  Record record('2');
  record.Text("TIPO_REGISTRO", "2")
      .Text("ESTADO_SINIESTRO", claim.state)
      .Text("NUMERO_POLIZA", claim.policy)
      .Text("NUMERO_SINIESTRO", claim.claim)
      .Text("FECHA_DECLARACION", DateText(claim.declared))
      .Text("FECHA_OCURRENCIA", claim.occurred)
      .Text("FECHA_INFORME", claim.report)
      .Text("CAUSA_SINIESTRO", claim.causes)
      .Number("GASTOS_SINIESTRO", claim.expenses, 2)
      .Number("RUT_LIQUIDADOR", claim.adjuster.rut)
      .Text("NOMBRE_LIQUIDADOR", claim.adjuster.FullName());
  return record;
}

Record DetailRecord(const Claim &claim, const Detail &detail) {
  Record record('3');
  record.Text("TIPO_REGISTRO", "3")
      .Text("NUMERO_POLIZA", claim.policy)
      .Text("NUMERO_SINIESTRO", claim.claim)
      .Number("NUMERO_ITEM", detail.item)
      .Number("SUPERFICIE_AFECTADA", detail.area, 2)
      .Number("PORCENTAJE_DANO", detail.damage, 2)
      .Text("TIPO_PERDIDA", detail.loss)
      .Number("INDEMNIZACION", detail.indemnity)
      .Text("TIPO_INDEMNIZACION", detail.indemnity_type)
      .Number("PRODUCCION_REAL", detail.production)
      .Text("FECHA_PAGO", detail.paid);
  return record;
}

} // namespace

std::vector<std::string> BuildClaims(Context &context) {
  Random &random = context.random;
  const Record header = HeaderRecord(context);
  const std::vector<int> groups =
      SplitIntoGroups(context.options.records - 2, context.options.layout, 3, random);
  std::vector<Claim> claims;
  claims.reserve(groups.size());
  long long sequence = random.Between(1000, 400000);
  for (const int details : groups) {
    sequence += random.Between(1, 3);
    claims.push_back(MakeClaim(context, sequence, details));
  }
  const std::vector<bool> faulty =
      ChooseFaulty(static_cast<int>(claims.size()), context.options.logical_faults, random);
  for (std::size_t i = 0; i < claims.size(); ++i) {
    if (faulty[i]) {
      Inject(context, claims[i]);
    }
  }

  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(context.options.records));
  lines.push_back(context.Line(header, Section::Header));
  long long indemnities = 0;
  long long expenses = 0;
  for (const Claim &claim : claims) {
    lines.push_back(context.Line(ClaimRecord(claim), Section::Detail));
    if (context.options.layout != Layout::Distinct) {
      for (const Detail &detail : claim.details) {
        lines.push_back(context.Line(DetailRecord(claim, detail), Section::Detail));
      }
    }
    for (const Detail &detail : claim.details) {
      indemnities += detail.indemnity;
    }
    expenses += claim.expenses;
  }
  if (context.options.layout == Layout::Distinct) {
    for (const Claim &claim : claims) {
      for (const Detail &detail : claim.details) {
        lines.push_back(context.Line(DetailRecord(claim, detail), Section::Detail));
      }
    }
  }
  Record control('4');
  control.Text("TIPO_REGISTRO", "4")
      .Number("TOTAL_REGISTROS", static_cast<long long>(lines.size()) + 1)
      .Number("TOTAL_SINIESTROS", static_cast<long long>(claims.size()))
      .Number("SUMA_INDEMNIZACION", indemnities)
      .Number("SUMA_GASTOS", expenses, 2);
  lines.push_back(context.Line(control, Section::Control));
  return lines;
}

} // namespace verdalia::gen
