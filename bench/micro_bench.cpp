// The hot paths one at a time: field cutting and checks per record type, and the logical
// rule sets with the indexes they build, on generated files of the shipped database, or of
// the database VERDALIA_BENCH_DB names (the wide layout run-bench.sh builds, for one). The
// planned detail checks run with the widest line scan the processor has, and again with each
// narrower one (DetailChecks/P_policy_ssse3, ...), to show what the vector instructions give.
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <benchmark/benchmark.h>

#include "common/result.h"
#include "gen/generator.h"
#include "logical/rule_sets.h"
#include "physical/line_scan.h"
#include "physical/physical_run.h"
#include "physical/record_checks.h"
#include "physical/record_plan.h"
#include "refdata/reference_data.h"

namespace {

using verdalia::ReferenceData;

const ReferenceData &Reference() {
  static const char *const other = std::getenv("VERDALIA_BENCH_DB");
  static const ReferenceData reference =
      verdalia::LoadReferenceData(other != nullptr ? other : VERDALIA_REFERENCE_DB);
  return reference;
}

std::vector<std::string> Lines(char kind, int records, verdalia::gen::Layout layout) {
  verdalia::gen::Options options;
  options.kind = kind;
  options.records = records;
  options.seed = 5;
  options.layout = layout;
  return verdalia::gen::Generate(Reference(), options);
}

verdalia::FileKind KindOfLetter(char letter) {
  return *verdalia::KindOfFileName(std::string_view(&letter, 1));
}

// One detail record type's checks, per record: through the plan of its type with `scan`, as
// a run checks it, or field by field (no scan), as a record with a fault is checked.
void DetailChecks(benchmark::State &state, char kind, char type,
                  std::optional<verdalia::LineScan> scan) {
  const bool planned = scan.has_value();
  const verdalia::PreparedDefinitions definitions(Reference(),
                                                  scan.value_or(verdalia::WidestLineScan()));
  const auto &fields = definitions.Fields(KindOfLetter(kind), std::string(1, type));
  const verdalia::RecordPlan &plan = *definitions.Plan(KindOfLetter(kind), type);
  std::vector<std::string> lines;
  for (std::string &line : Lines(kind, 4000, verdalia::gen::Layout::Valid)) {
    if (!line.empty() && line[0] == type) {
      lines.push_back(std::move(line));
    }
  }
  verdalia::RecordPlan::Scratch scratch;
  verdalia::ResultList rows;
  for (auto _ : state) {
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if (planned) {
        plan.Check(lines[k], static_cast<int>(k), scratch, rows);
      } else {
        verdalia::CheckDetailRecord(fields, lines[k], static_cast<int>(k), rows);
      }
    }
    rows.clear();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}

void HeaderAndControl(benchmark::State &state, char kind) {
  const verdalia::PreparedDefinitions definitions(Reference());
  const std::vector<std::string> lines = Lines(kind, 2, verdalia::gen::Layout::Valid);
  verdalia::ResultList rows;
  verdalia::HeaderLabels labels;
  for (auto _ : state) {
    verdalia::CheckHeaderRecord(definitions.Fields(KindOfLetter(kind), "1"), lines[0], 1, rows,
                                labels);
    verdalia::CheckControlRecord(definitions.Fields(KindOfLetter(kind), lines[1].substr(0, 1)),
                                 lines[1], 2, rows);
    rows.clear();
  }
}

// A whole rule set over the largest file, indexes built anew each time as in a run.
void RuleSet(benchmark::State &state, char kind, verdalia::gen::Layout layout) {
  const std::vector<std::string> file = Lines(kind, 32767, layout);
  std::vector<std::string_view> lines{std::string_view()};
  for (const std::string &line : file) {
    lines.emplace_back(line);
  }
  const verdalia::NumberFormat numbers;
  const verdalia::LogicalInput input{lines, static_cast<int>(file.size()),
                                     Reference().commune_codes, Reference().crop_codes, numbers};
  verdalia::ResultList rows;
  for (auto _ : state) {
    rows.clear();
    verdalia::CheckLogicalRules(KindOfLetter(kind), input, rows);
    std::size_t found = rows.size();
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
}

using verdalia::gen::Layout;
BENCHMARK_CAPTURE(DetailChecks, P_policy, 'P', '2', verdalia::WidestLineScan());
BENCHMARK_CAPTURE(DetailChecks, P_item, 'P', '3', verdalia::WidestLineScan());
BENCHMARK_CAPTURE(DetailChecks, D_notice, 'D', '2', verdalia::WidestLineScan());
BENCHMARK_CAPTURE(DetailChecks, S_claim, 'S', '2', verdalia::WidestLineScan());
BENCHMARK_CAPTURE(DetailChecks, S_detail, 'S', '3', verdalia::WidestLineScan());
BENCHMARK_CAPTURE(DetailChecks, P_policy_field_by_field, 'P', '2', std::nullopt);
BENCHMARK_CAPTURE(DetailChecks, D_notice_field_by_field, 'D', '2', std::nullopt);
BENCHMARK_CAPTURE(HeaderAndControl, P, 'P');
BENCHMARK_CAPTURE(HeaderAndControl, D, 'D');
BENCHMARK_CAPTURE(HeaderAndControl, S, 'S');
BENCHMARK_CAPTURE(RuleSet, P_valid, 'P', Layout::Valid)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RuleSet, P_distinct, 'P', Layout::Distinct)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RuleSet, P_shared, 'P', Layout::Shared)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RuleSet, D_valid, 'D', Layout::Valid)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RuleSet, D_shared, 'D', Layout::Shared)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RuleSet, S_valid, 'S', Layout::Valid)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RuleSet, S_distinct, 'S', Layout::Distinct)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RuleSet, S_shared, 'S', Layout::Shared)->Unit(benchmark::kMillisecond);

// The planned detail checks with each narrower scan.
void RegisterNarrowerScans() {
  const std::vector<verdalia::LineScan> scans = verdalia::UsableLineScans();
  for (std::size_t k = 1; k < scans.size(); ++k) {
    for (const auto &[name, kind, type] : {std::tuple{"P_policy", 'P', '2'},
                                           {"P_item", 'P', '3'},
                                           {"D_notice", 'D', '2'},
                                           {"S_claim", 'S', '2'},
                                           {"S_detail", 'S', '3'}}) {
      const std::string title =
          std::string("DetailChecks/") + name + "_" + std::string(scans[k].name);
      benchmark::RegisterBenchmark(title.c_str(), DetailChecks, kind, type,
                                   std::optional<verdalia::LineScan>(scans[k]));
    }
  }
}

} // namespace

int main(int argc, char **argv) {
  RegisterNarrowerScans();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
