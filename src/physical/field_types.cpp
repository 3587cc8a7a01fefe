#include "physical/field_types.h"

#include <array>
#include <cstddef>

#include "common/text.h"

namespace verdalia {
namespace {

constexpr std::array kFacts = {
#define VERDALIA_FIELD_TYPE(type, code, check, characters, decimals, write, fault)                 \
  FieldTypeFacts{code, FieldCheck::check, CharacterClass::characters, Decimals::decimals},
#include "physical/field_types.def"
#undef VERDALIA_FIELD_TYPE
    FieldTypeFacts{"", FieldCheck::None, CharacterClass::Any, Decimals::None}, // Other
};

static_assert(kFacts.size() == static_cast<std::size_t>(FieldType::Other) + 1);

// The number, date and identity-number rules read a value's digits once its character test
// has passed; the filler's is its blanks test.
constexpr bool CharactersFitTheirChecks() {
  for (const FieldTypeFacts &facts : kFacts) {
    switch (facts.check) {
    case FieldCheck::Number:
    case FieldCheck::Date:
    case FieldCheck::IdentityNumber:
      if (facts.characters != CharacterClass::Digits) {
        return false;
      }
      break;
    case FieldCheck::Filler:
      if (facts.characters != CharacterClass::Blanks) {
        return false;
      }
      break;
    case FieldCheck::CheckDigit:
    case FieldCheck::Text:
    case FieldCheck::None:
      break;
    }
  }
  return true;
}
static_assert(CharactersFitTheirChecks(), "a type's characters do not fit its check");

} // namespace

FieldType FieldTypeOf(std::string_view tipo) {
  const std::string upper = UpperAscii(tipo);
  for (std::size_t k = 0; k + 1 < kFacts.size(); ++k) {
    if (kFacts[k].code == upper) {
      return static_cast<FieldType>(k);
    }
  }
  return FieldType::Other;
}

const FieldTypeFacts &FactsOf(FieldType type) {
  return kFacts[static_cast<std::size_t>(type)];
}

} // namespace verdalia
