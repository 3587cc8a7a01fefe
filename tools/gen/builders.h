#pragma once

#include <string>
#include <vector>

#include "common/file_kind.h"
#include "gen/calendar.h"
#include "gen/generator.h"
#include "gen/random.h"
#include "gen/record.h"

namespace verdalia::gen {

// What every kind's builder shares: the request, the reference data, the random source, the
// closing date and the valid codes.
struct Context {
  const ReferenceData &reference;
  const Options &options;
  Random &random;
  FileKind kind = FileKind::Production;
  Date closing;                           // the last day of the period
  std::vector<std::string> communes;      // every valid commune code
  std::vector<std::string> farm_communes; // the ones of the farming regions, for realism
  std::vector<std::string> crops;

  // The line of a record of this kind, laid out by its definitions.
  std::string Line(const Record &record, Section section) const;

  // A day of the period.
  Date DayOfPeriod();
};

// The header record shared by the three kinds: closing date, insurer's RUT and name.
Record HeaderRecord(Context &context);

// How many members (items, claim details) each group of a production or claims file has,
// so that the groups fill exactly `detail_records` lines (each group is 1 + members lines).
std::vector<int> SplitIntoGroups(int detail_records, Layout layout, int usual_most, Random &random);

// Which of `count` units get a fault: each with probability `rate`, and at least one when
// the rate is above 0.
std::vector<bool> ChooseFaulty(int count, double rate, Random &random);

// The detail lines of each kind, header and control record included.
std::vector<std::string> BuildProduction(Context &context);
std::vector<std::string> BuildNotices(Context &context);
std::vector<std::string> BuildClaims(Context &context);

// Gives the line one physical fault that the check of its section reports.
void InjectPhysicalFault(std::string &line, const std::vector<FieldDefinition> &definitions,
                         Section section, int record_count, Random &random);

// The agricultural season a date falls in ("2024-25" from May 2024 to April 2025).
std::string SeasonOf(const Date &date);

// The six claim-cause flags of a plausible claim: one cause, or two that may come together.
std::string PlausibleCauses(Random &random);
// A combination the logical rules report (never "000000", which the physical check refuses).
std::string FlaggedCauses(Random &random);

} // namespace verdalia::gen
