#include "physical/physical_checks.h"

#include <array>
#include <map>
#include <string>
#include <vector>

#include "physical/prepared_field.h"
#include "physical/record_checks.h"

namespace verdalia {

// The definitions of every kind and record type, prepared once and kept in Sec order. They
// are copies, so the checks do not depend on the reference data staying where it is.
struct PhysicalChecks::Prepared {
  std::map<int, std::map<std::string, std::vector<PreparedField>, std::less<>>> byType;
  // Every record asks for the definitions of its type: the types of one character of the
  // three kinds, which are all a database normally holds, are found by kind and character.
  std::array<std::array<const std::vector<PreparedField> *, 256>, 4> byCharacter{};

  const std::vector<PreparedField> &Fields(int kind, std::string_view record_type) const {
    static const std::vector<PreparedField> kNone;
    if (kind >= 1 && kind <= 3 && record_type.size() == 1) {
      const auto *fields =
          byCharacter[static_cast<std::size_t>(kind)][static_cast<unsigned char>(record_type[0])];
      return fields ? *fields : kNone;
    }
    const auto by_kind = byType.find(kind);
    if (by_kind == byType.end()) {
      return kNone;
    }
    const auto found = by_kind->second.find(record_type);
    return found == by_kind->second.end() ? kNone : found->second;
  }
};

PhysicalChecks::PhysicalChecks(const ReferenceData &reference)
    : m_prepared(std::make_unique<Prepared>()) {
  for (const FieldDefinition &row : reference.rsDefArchivo) {
    auto &fields = m_prepared->byType[row.TipoArchivo][row.TipoRegistro];
    if (!fields.empty()) {
      continue; // this kind and record type is prepared already
    }
    for (const FieldDefinition &definition :
         reference.Definitions(row.TipoArchivo, row.TipoRegistro)) {
      fields.push_back(PrepareField(definition));
    }
  }
  for (const auto &[kind, types] : m_prepared->byType) {
    for (const auto &[type, fields] : types) {
      if (kind >= 1 && kind <= 3 && type.size() == 1) {
        m_prepared
            ->byCharacter[static_cast<std::size_t>(kind)][static_cast<unsigned char>(type[0])] =
            &fields;
      }
    }
  }
}
PhysicalChecks::~PhysicalChecks() = default;
PhysicalChecks::PhysicalChecks(PhysicalChecks &&) noexcept = default;
PhysicalChecks &PhysicalChecks::operator=(PhysicalChecks &&) noexcept = default;

// The header's definitions are visited in Sec order on every run, as the details are: each
// identity number must come before its check digit.
void PhysicalChecks::RevisaRegUno_Fisico(int ID_Arch, std::string_view Linea, int NroReg,
                                         ResultList &rows, SummaryLabels &fisica,
                                         SummaryLabels &logica) const {
  CheckHeaderRecord(m_prepared->Fields(ID_Arch, "1"), Linea, NroReg, rows, fisica, logica);
}

// A record type without definitions has no field checked.
void PhysicalChecks::RevisaRegFilas_Fisico(int ID_Arch, std::string_view record_type,
                                           std::string_view Linea, int NroReg,
                                           ResultList &rows) const {
  CheckDetailRecord(m_prepared->Fields(ID_Arch, record_type), Linea, NroReg, rows);
}

// The control record is checked against the definitions of the type it carries itself,
// whatever type the file's kind closes with; an empty line selects none.
void PhysicalChecks::RevisaRegControl(int ID_Arch, std::string_view Linea, int NroReg,
                                      ResultList &rows) const {
  CheckControlRecord(m_prepared->Fields(ID_Arch, Linea.substr(0, 1)), Linea, NroReg, rows);
}

} // namespace verdalia
