#include "physical/physical_checks.h"

namespace verdalia {

// Placeholder until the record checks land: definitions are kept, nothing is reported.
struct PhysicalChecks::Prepared {
  const ReferenceData *reference = nullptr;
};

PhysicalChecks::PhysicalChecks(const ReferenceData &reference)
    : m_prepared(std::make_unique<Prepared>()) {
  m_prepared->reference = &reference;
}
PhysicalChecks::~PhysicalChecks() = default;
PhysicalChecks::PhysicalChecks(PhysicalChecks &&) noexcept = default;
PhysicalChecks &PhysicalChecks::operator=(PhysicalChecks &&) noexcept = default;

void PhysicalChecks::RevisaRegUno_Fisico(int, std::string_view, int, ResultList &, SummaryLabels &,
                                         SummaryLabels &) const {}
void PhysicalChecks::RevisaRegFilas_Fisico(int, std::string_view, std::string_view, int,
                                           ResultList &) const {}
void PhysicalChecks::RevisaRegControl(int, std::string_view, int, ResultList &) const {}

} // namespace verdalia
