#pragma once

#include <filesystem>
#include <string>

#include "common/result.h"
#include "common/windows1252.h"
#include "engine/session.h"
#include "refdata/reference_data.h"

namespace verdalia::testing {

// What the operator sees after pressing both buttons: the logical verification runs only
// when the physical one enabled it.
struct Verdict {
  bool refused = false;
  ResultList physical;
  bool logical_ran = false;
  ResultList logical;
};

inline Verdict Verify(const ReferenceData &reference, const std::filesystem::path &file) {
  Session session(reference);
  const std::string folder = file.parent_path().string();
  const std::string name = file.filename().string();
  Verdict verdict;
  const RunOutcome physical = session.RunPhysical(folder, name);
  verdict.refused = physical.refused;
  verdict.physical = session.PhysicalList();
  if (!physical.refused && physical.logical_enabled) {
    const RunOutcome logical = session.RunLogical(folder, name);
    verdict.logical_ran = !logical.refused;
    verdict.logical = session.LogicalList();
  }
  return verdict;
}

// The database the build makes from data/Base/verdalia7.sql, loaded once.
inline const ReferenceData &ShippedReference() {
  static const ReferenceData data = LoadReferenceData(VERDALIA_REFERENCE_DB);
  return data;
}

// The first rows of a list, readable in a failure message.
inline std::string Shown(const ResultList &rows, std::size_t most = 8) {
  std::string text;
  for (std::size_t i = 0; i < rows.size() && i < most; ++i) {
    text += "\n  " + std::to_string(rows[i].record) + " | " + rows[i].field + " | " +
            Windows1252ToUtf8(rows[i].message);
  }
  if (rows.size() > most) {
    text += "\n  ... " + std::to_string(rows.size() - most) + " more";
  }
  return text;
}

inline bool HasError(const ResultList &rows) {
  return !OnlyWarnings(rows);
}

} // namespace verdalia::testing
