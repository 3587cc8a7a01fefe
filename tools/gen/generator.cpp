#include "gen/generator.h"

#include <cmath>

#include "common/record_layout.h"
#include "gen/builders.h"
#include "gen/domain.h"

namespace verdalia::gen {
namespace {

std::vector<std::string> CodesOf(const CodeList &list) {
  std::vector<std::string> codes;
  std::string code;
  for (const char c : list.Text()) {
    if (c == kBrokenBar) {
      if (!code.empty()) {
        codes.push_back(code);
      }
      code.clear();
    } else {
      code.push_back(c);
    }
  }
  return codes;
}

void CheckRate(double rate, const char *what) {
  if (!(rate >= 0.0 && rate <= 1.0)) {
    throw GeneratorError(std::string("the share of ") + what + " must be between 0 and 1");
  }
}

} // namespace

std::string Context::Line(const Record &record, Section section) const {
  const std::string type(1, record.Type());
  return LayOut(record, reference.Definitions(kind, type), reference.LineLength(kind), section,
                DateText(closing), random);
}

Date Context::DayOfPeriod() {
  return {closing.year, closing.month, static_cast<int>(random.Between(1, closing.day))};
}

Record HeaderRecord(Context &context) {
  const Insurer &insurer = RandomInsurer(context.random);
  Record header('1');
  header.Text("TIPO_REGISTRO", "1")
      .Text("FECHA_CIERRE", DateText(context.closing))
      .Number("RUT_ASEGURADORA", insurer.rut)
      .Text("ASEGURADORA", insurer.name);
  return header;
}

std::vector<int> SplitIntoGroups(int detail_records, Layout layout, int usual_most,
                                 Random &random) {
  // Item and claim-detail numbers have four digits: a group holds at most 9999 members.
  const int most = layout == Layout::Shared ? 9999 : layout == Layout::Distinct ? 1 : usual_most;
  std::vector<int> groups;
  int remaining = detail_records;
  while (remaining > 1) {
    int members = layout == Layout::Valid ? static_cast<int>(random.Between(1, most)) : most;
    members = std::min(members, remaining - 1);
    // A single line left over could not form a group of its own: take it in, or leave
    // two lines for the next group.
    if (remaining - 1 - members == 1) {
      members = members + 1 <= most || members == 1 ? members + 1 : members - 1;
    }
    groups.push_back(members);
    remaining -= 1 + members;
  }
  return groups;
}

std::vector<bool> ChooseFaulty(int count, double rate, Random &random) {
  std::vector<bool> faulty(static_cast<std::size_t>(count > 0 ? count : 0), false);
  bool any = false;
  for (std::size_t i = 0; i < faulty.size(); ++i) {
    faulty[i] = random.Chance(rate);
    any = any || faulty[i];
  }
  if (rate > 0.0 && !any && count > 0) {
    faulty[static_cast<std::size_t>(random.Between(0, count - 1))] = true;
  }
  return faulty;
}

std::string SeasonOf(const Date &date) {
  const int first = date.month >= 5 ? date.year : date.year - 1;
  const int second = (first + 1) % 100;
  return std::to_string(first) + "-" + (second < 10 ? "0" : "") + std::to_string(second);
}

std::string PlausibleCauses(Random &random) {
  static const std::vector<std::string> kSingle = {"100000", "010000", "001000",
                                                   "000100", "000010", "000001"};
  static const std::vector<std::string> kTogether = {"011000", "010100", "001100",
                                                     "010010", "000110", "001010"};
  return random.Chance(0.8) ? random.Pick(kSingle) : random.Pick(kTogether);
}

std::string FlaggedCauses(Random &random) {
  static const std::vector<std::string> kFlagged = {"111111", "110000", "101000", "100100",
                                                    "100010"};
  return random.Pick(kFlagged);
}

std::string PeriodOfFileName(const std::string &file_name) {
  const std::size_t slash = file_name.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? file_name : file_name.substr(slash + 1);
  const std::string period(Field(name, kHeader.period));
  if (period.size() != kHeader.period.length) {
    return "";
  }
  for (const char c : period) {
    if (c < '0' || c > '9') {
      return "";
    }
  }
  const int year = std::stoi(period.substr(0, 4));
  const int month = std::stoi(period.substr(4, 2));
  // Dates reach a year either side of the period, and the checks accept 1900 to 2500.
  if (year < 1902 || year > 2498 || month < 1 || month > 12) {
    return "";
  }
  return period;
}

namespace {

// The kind of a request the generator can meet; throws GeneratorError otherwise.
FileKind CheckRequest(const ReferenceData &reference, const Options &options) {
  const std::optional<FileKind> asked = KindOfFileName(std::string_view(&options.kind, 1));
  if (!asked) {
    throw GeneratorError("the kind must be P, D or S");
  }
  const FileKind kind = *asked;
  if (options.records < 2 || options.records > 32767) {
    throw GeneratorError("the record count must be between 2 and 32767 (header and control "
                         "record included)");
  }
  if (kind != FileKind::ClaimNotices && options.records == 3) {
    const bool production = kind == FileKind::Production;
    throw GeneratorError(
        std::string("a ") + (production ? "P" : "S") + " file of 3 records cannot be valid: a " +
        (production ? "policy needs an item record" : "claim needs a detail record") +
        "; ask for 2 or at least 4 records");
  }
  CheckRate(options.physical_faults, "records with physical faults");
  CheckRate(options.logical_faults, "units with logical faults");
  const std::string period = PeriodOfFileName("X" + options.period);
  if (period.empty() || options.period.size() != 6) {
    throw GeneratorError("the period must be YYYYMM with a year from 1902 to 2498");
  }
  if (reference.LineLength(kind) <= 0) {
    throw GeneratorError("the reference database gives kind " + std::to_string(NumberOf(kind)) +
                         " no line length (TipoArchivo)");
  }
  for (const char type : FactsOf(kind).allowed_types) {
    if (reference.Definitions(kind, std::string(1, type)).empty()) {
      throw GeneratorError("the reference database has no field definitions (DefArchivo) for "
                           "record type " +
                           std::string(1, type) + " of kind " + std::to_string(NumberOf(kind)));
    }
  }
  return kind;
}

// The codes and the closing date every builder draws on.
Context MakeContext(const ReferenceData &reference, const Options &options, Random &random,
                    FileKind kind) {
  const int year = std::stoi(options.period.substr(0, 4));
  const int month = std::stoi(options.period.substr(4, 2));
  Context context{reference,
                  options,
                  random,
                  kind,
                  {year, month, DaysInMonth(year, month)},
                  CodesOf(reference.commune_codes),
                  {},
                  CodesOf(reference.crop_codes)};
  if (context.communes.empty() || context.crops.empty()) {
    throw GeneratorError("the reference database has no commune or no crop codes (COMUNA, "
                         "CULTIVO)");
  }
  for (const std::string &code : context.communes) {
    static const std::vector<std::string> kFarming = {"04", "05", "06", "07", "08",
                                                      "09", "10", "13", "14", "16"};
    for (const std::string &region : kFarming) {
      if (code.starts_with(region)) {
        context.farm_communes.push_back(code);
      }
    }
  }
  if (context.farm_communes.empty()) {
    context.farm_communes = context.communes;
  }
  return context;
}

// Gives the share `rate` of the lines one physical fault each.
void InjectPhysicalFaults(std::vector<std::string> &lines, const ReferenceData &reference,
                          FileKind kind, double rate, Random &random) {
  const std::vector<bool> faulty = ChooseFaulty(static_cast<int>(lines.size()), rate, random);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!faulty[i]) {
      continue;
    }
    const Section section = i == 0                  ? Section::Header
                            : i + 1 == lines.size() ? Section::Control
                                                    : Section::Detail;
    const std::string type(1, lines[i][0]);
    InjectPhysicalFault(lines[i], reference.Definitions(kind, type), section,
                        static_cast<int>(lines.size()), random);
  }
}

} // namespace

std::vector<std::string> Generate(const ReferenceData &reference, const Options &options) {
  const FileKind kind = CheckRequest(reference, options);
  Random random(options.seed);
  Context context = MakeContext(reference, options, random, kind);
  std::vector<std::string> lines;
  switch (kind) {
  case FileKind::Production:
    lines = BuildProduction(context);
    break;
  case FileKind::ClaimNotices:
    lines = BuildNotices(context);
    break;
  case FileKind::Claims:
    lines = BuildClaims(context);
    break;
  }
  InjectPhysicalFaults(lines, reference, kind, options.physical_faults, random);
  return lines;
}

std::string JoinLines(const std::vector<std::string> &lines) {
  std::string bytes;
  std::size_t size = 0;
  for (const std::string &line : lines) {
    size += line.size() + 2;
  }
  bytes.reserve(size);
  for (const std::string &line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  return bytes;
}

} // namespace verdalia::gen
