#pragma once

#include <memory>
#include <string_view>

#include "common/result.h"
#include "refdata/reference_data.h"

namespace verdalia {

// The three record checks of the physical verification, with the definitions of every kind
// and record type prepared once (type upper-cased, special names and rule keywords
// resolved) when the reference data is loaded, not per record.
class PhysicalChecks {
public:
  explicit PhysicalChecks(const ReferenceData &reference);
  ~PhysicalChecks();
  PhysicalChecks(PhysicalChecks &&) noexcept;
  PhysicalChecks &operator=(PhysicalChecks &&) noexcept;

  // The header record, against the definitions of record type "1" of the kind; fills the
  // RUT and Razón Social captions of both result tabs.
  void RevisaRegUno_Fisico(int ID_Arch, std::string_view Linea, int NroReg, ResultList &rows,
                           SummaryLabels &fisica, SummaryLabels &logica) const;

  // One detail record, against the definitions of `record_type` ("2" or "3") of the kind.
  void RevisaRegFilas_Fisico(int ID_Arch, std::string_view record_type, std::string_view Linea,
                             int NroReg, ResultList &rows) const;

  // The control record, against the definitions of the record type its own first character
  // names; TOTAL_REGISTROS must equal NroReg.
  void RevisaRegControl(int ID_Arch, std::string_view Linea, int NroReg, ResultList &rows) const;

private:
  struct Prepared;
  std::unique_ptr<Prepared> m_prepared;
};

} // namespace verdalia
