// Claim-notification files: one record "2" per claim notice.
#include <cstdio>

#include "common/record_layout.h"
#include "gen/builders.h"
#include "gen/domain.h"

namespace verdalia::gen {
namespace {

struct Notice {
  std::string claim;
  std::string policy;
  Party insured;
  std::string commune;
  std::string crop;
  std::string declared;
  std::string occurred;
  std::string causes;
  long long provision = 0; // cents of UF
  long long area = 0;      // hundredths of a hectare
};

std::string Numbered(const char *prefix, int year, long long number) {
  char text[32];
  std::snprintf(text, sizeof text, "%s-%04d-%06lld", prefix, year, number % 1000000);
  return text;
}

Notice MakeNotice(Context &context, long long sequence) {
  Random &random = context.random;
  Notice notice;
  const Date declared = context.DayOfPeriod();
  notice.claim = Numbered("SIN", declared.year, sequence);
  notice.policy = Numbered("AGR", declared.year - static_cast<int>(random.Between(0, 1)),
                           random.Between(1000, 999999));
  notice.insured = random.Chance(0.85) ? RandomPerson(random) : RandomCompany(random);
  notice.commune = random.Pick(context.farm_communes);
  notice.crop = random.Pick(context.crops);
  notice.declared = DateText(declared);
  notice.occurred = DateText(AddDays(declared, -random.Between(0, 25)));
  notice.causes = PlausibleCauses(random);
  notice.provision = random.Between(1500, 500000);
  notice.area = random.Between(50, 8000);
  return notice;
}

// How many characters of the declaration date the notice's key reads as the end of the
// policy number.
constexpr std::size_t kKeyInDeclaration =
    kNotice.policy_number.start + kNotice.policy_number.length - kNotice.declaration_date.start;

enum class Fault { Repeated, OccurredAfterDeclared, FlaggedCauses, NoProvision };

void Inject(Context &context, std::vector<Notice> &notices, std::size_t i) {
  Random &random = context.random;
  Notice &notice = notices[i];
  std::vector<Fault> faults = {Fault::OccurredAfterDeclared, Fault::FlaggedCauses,
                               Fault::NoProvision};
  if (i > 0) {
    faults.push_back(Fault::Repeated);
  }
  switch (random.Pick(faults)) {
  case Fault::Repeated: {
    // The same claim notified again: claim number, policy number and the year of the
    // declaration (the key reaches into the declaration date) all equal.
    const Notice &earlier = notices[i - 1];
    notice.claim = earlier.claim;
    notice.policy = earlier.policy;
    notice.declared.replace(0, kKeyInDeclaration, earlier.declared.substr(0, kKeyInDeclaration));
    break;
  }
  case Fault::OccurredAfterDeclared: {
    const Date declared = {std::stoi(notice.declared.substr(0, 4)),
                           std::stoi(notice.declared.substr(4, 2)),
                           std::stoi(notice.declared.substr(6, 2))};
    notice.occurred = DateText(AddDays(declared, random.Between(1, 10)));
    break;
  }
  case Fault::FlaggedCauses:
    notice.causes = FlaggedCauses(random);
    break;
  case Fault::NoProvision:
    notice.provision = 0;
    break;
  }
}

Record NoticeRecord(const Notice &notice) {
  Record record('2');
  record.Text("TIPO_REGISTRO", "2")
      .Text("NUMERO_SINIESTRO", notice.claim)
      .Number("RUT_ASEGURADO", notice.insured.rut)
      .Text("COD_COMUNA", notice.commune)
      .Text("NUMERO_POLIZA", notice.policy)
      .Text("FECHA_DECLARACION", notice.declared)
      .Text("FECHA_OCURRENCIA", notice.occurred)
      .Text("CAUSA_SINIESTRO", notice.causes)
      .Number("PROVISION", notice.provision, 2)
      .Text("COD_CULTIVO", notice.crop)
      .Number("SUPERFICIE_AFECTADA", notice.area, 2)
      .Text("NOMBRE_ASEGURADO", notice.insured.FullName());
  return record;
}

} // namespace

std::vector<std::string> BuildNotices(Context &context) {
  Random &random = context.random;
  const Record header = HeaderRecord(context);
  const int count = context.options.records - 2;
  std::vector<Notice> notices;
  notices.reserve(static_cast<std::size_t>(count));
  long long sequence = random.Between(1000, 400000);
  for (int i = 0; i < count; ++i) {
    sequence += random.Between(1, 3);
    notices.push_back(MakeNotice(context, sequence));
    if (context.options.layout == Layout::Shared && i > 0) {
      // Every notice under the first one's key: each is a repeat of the next.
      notices.back().claim = notices.front().claim;
      notices.back().policy = notices.front().policy;
    }
  }
  const std::vector<bool> faulty = ChooseFaulty(count, context.options.logical_faults, random);
  for (std::size_t i = 0; i < notices.size(); ++i) {
    if (faulty[i]) {
      Inject(context, notices, i);
    }
  }

  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(context.options.records));
  lines.push_back(context.Line(header, Section::Header));
  long long provisions = 0;
  for (const Notice &notice : notices) {
    lines.push_back(context.Line(NoticeRecord(notice), Section::Detail));
    provisions += notice.provision;
  }
  Record control('3');
  control.Text("TIPO_REGISTRO", "3")
      .Number("TOTAL_REGISTROS", static_cast<long long>(lines.size()) + 1)
      .Number("SUMA_PROVISION", provisions, 2);
  lines.push_back(context.Line(control, Section::Control));
  return lines;
}

} // namespace verdalia::gen
