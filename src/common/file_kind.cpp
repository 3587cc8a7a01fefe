#include "common/file_kind.h"

#include "common/windows1252.h"

namespace verdalia {
namespace {

constexpr FixedText kProductionTitle = "PRODUCCION VERDALIA";
constexpr FixedText kClaimNoticesTitle = "DENUNCIAS DE SINIESTROS VERDALIA";
constexpr FixedText kClaimsTitle = "INFORMACIÓN DE SINIESTROS VERDALIA";

} // namespace

const FileKindFacts &FactsOf(FileKind kind) {
  static constexpr FileKindFacts kProduction{'P', kProductionTitle, "1234", '4'};
  static constexpr FileKindFacts kClaimNotices{'D', kClaimNoticesTitle, "123", '3'};
  static constexpr FileKindFacts kClaims{'S', kClaimsTitle, "1234", '4'};
  switch (kind) {
  case FileKind::Production:
    return kProduction;
  case FileKind::ClaimNotices:
    return kClaimNotices;
  case FileKind::Claims:
    return kClaims;
  }
  return kClaims; // not reached: every kind is named above
}

std::optional<FileKind> KindOfFileName(std::string_view file_name) {
  if (file_name.empty()) {
    return std::nullopt;
  }
  for (const FileKind kind : kFileKinds) {
    // The letter's upper case; ASCII alone, as the names' letters are.
    const char letter = FactsOf(kind).letter;
    if (file_name[0] == letter || file_name[0] == letter + ('a' - 'A')) {
      return kind;
    }
  }
  return std::nullopt;
}

std::optional<FileKind> KindOfNumber(long long number) {
  for (const FileKind kind : kFileKinds) {
    if (NumberOf(kind) == number) {
      return kind;
    }
  }
  return std::nullopt;
}

} // namespace verdalia
