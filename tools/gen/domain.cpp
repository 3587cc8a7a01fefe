#include "gen/domain.h"

#include <array>
#include <string_view>

#include "gen/random.h"

namespace verdalia::gen {
namespace {

constexpr std::array<std::string_view, 72> kSurnames = {
    "GONZALEZ",  "MUNOZ",     "ROJAS",     "DIAZ",     "PEREZ",     "SOTO",       "CONTRERAS",
    "SILVA",     "MARTINEZ",  "SEPULVEDA", "MORALES",  "RODRIGUEZ", "LOPEZ",      "FUENTES",
    "HERNANDEZ", "TORRES",    "ARAYA",     "FLORES",   "ESPINOZA",  "VALENZUELA", "CASTILLO",
    "TAPIA",     "REYES",     "GUTIERREZ", "CASTRO",   "PIZARRO",   "ALVAREZ",    "VASQUEZ",
    "SANCHEZ",   "FERNANDEZ", "RAMIREZ",   "CARRASCO", "GOMEZ",     "CORTES",     "HERRERA",
    "NUNEZ",     "JARA",      "VERGARA",   "RIVERA",   "FIGUEROA",  "RIQUELME",   "GARCIA",
    "MIRANDA",   "BRAVO",     "VERA",      "MOLINA",   "VEGA",      "CAMPOS",     "SANDOVAL",
    "OLIVARES",  "ORELLANA",  "SALAZAR",   "ZUNIGA",   "GALLARDO",  "HENRIQUEZ",  "AGUILERA",
    "PALMA",     "INOSTROZA", "CACERES",   "ALARCON",  "LAGOS",     "CARDENAS",   "MELLA",
    "AEDO",      "POBLETE",   "ULLOA",     "SAAVEDRA", "MANRIQUEZ", "BUSTOS",     "MONTECINOS",
    "NAVARRO",   "QUEZADA"};

constexpr std::array<std::string_view, 40> kGivenNames = {"JUAN CARLOS",
                                                          "MARIA JOSE",
                                                          "LUIS ALBERTO",
                                                          "ANA MARIA",
                                                          "JOSE MIGUEL",
                                                          "CARMEN GLORIA",
                                                          "PEDRO PABLO",
                                                          "ROSA ELENA",
                                                          "JORGE ANTONIO",
                                                          "PATRICIA ANDREA",
                                                          "MANUEL JESUS",
                                                          "MARIA ELENA",
                                                          "FRANCISCO JAVIER",
                                                          "VERONICA ALEJANDRA",
                                                          "RAUL HERNAN",
                                                          "CLAUDIA ANDREA",
                                                          "SERGIO ENRIQUE",
                                                          "MARCELA PAZ",
                                                          "HECTOR ORLANDO",
                                                          "JUANA ROSA",
                                                          "CRISTIAN ANDRES",
                                                          "ELIANA DEL CARMEN",
                                                          "OSVALDO",
                                                          "MIGUEL ANGEL",
                                                          "SOLEDAD",
                                                          "RODRIGO ANDRES",
                                                          "GLADYS DEL ROSARIO",
                                                          "ALEJANDRO",
                                                          "FERNANDA",
                                                          "HUGO ERNESTO",
                                                          "TERESA",
                                                          "ARTURO",
                                                          "NELSON",
                                                          "MARIA IGNACIA",
                                                          "DANIEL ESTEBAN",
                                                          "LORENA",
                                                          "RENE",
                                                          "XIMENA",
                                                          "GUILLERMO",
                                                          "BERNARDITA"};

constexpr std::array<std::string_view, 8> kCompanyKinds = {
    "AGRICOLA",  "SOCIEDAD AGRICOLA",   "AGROINDUSTRIAL", "COMERCIAL Y AGRICOLA",
    "FRUTICOLA", "AGRICOLA Y GANADERA", "HORTICOLA",      "COOPERATIVA CAMPESINA"};

constexpr std::array<std::string_view, 24> kPlaceNames = {
    "LOS ROBLES",  "SANTA ELENA",  "EL MAITEN",     "LAS TRANQUERAS", "DON SEBASTIAN",
    "LOS AROMOS",  "EL PARRON",    "TRES ESTEROS",  "LA ESPERANZA",   "LOS CASTANOS",
    "EL ALAMO",    "SANTA TERESA", "LOS QUILLAYES", "EL ESPINO",      "LAS VERTIENTES",
    "SANTA ROSA",  "EL MOLINO",    "LAS ACACIAS",   "LOS PEUMOS",     "EL BOLDO",
    "SAN ANTONIO", "LAS MERCEDES", "EL RETIRO",     "LOS NOGALES"};

constexpr std::array<std::string_view, 5> kCompanySuffixes = {"LIMITADA", "SPA", "S A",
                                                              "Y CIA LIMITADA", "LTDA"};

constexpr std::array<std::string_view, 6> kFarmKinds = {"FUNDO", "PARCELA", "HIJUELA",
                                                        "LOTE",  "RESERVA", "SITIO"};

// Fictitious insurers: the samples and generated files name no real company.
constexpr std::array<Insurer, 5> kInsurers = {{
    {96874210, "COMPANIA DE SEGUROS GENERALES LA CAMPINA S A"},
    {99512730, "SEGUROS AGRICOLAS CORDILLERA S A"},
    {96733450, "ASEGURADORA RURAL DEL PACIFICO S A"},
    {76284915, "MUTUAL DE SEGUROS DEL AGRO S A"},
    {99028640, "VALLE CENTRAL COMPANIA DE SEGUROS GENERALES S A"},
}};

} // namespace

std::string Party::FullName() const {
  std::string name = names;
  for (const std::string *part : {&paternal, &maternal}) {
    if (!part->empty()) {
      name += " " + *part;
    }
  }
  return name;
}

long long RandomPersonRut(Random &random) {
  return random.Between(4000000, 26999999);
}
long long RandomCompanyRut(Random &random) {
  return random.Between(76000000, 79999999);
}

Party RandomPerson(Random &random) {
  Party party;
  party.rut = RandomPersonRut(random);
  party.paternal = random.Pick(kSurnames);
  party.maternal = random.Pick(kSurnames);
  party.names = random.Pick(kGivenNames);
  return party;
}

Party RandomCompany(Random &random) {
  Party party;
  party.rut = RandomCompanyRut(random);
  party.names = std::string(random.Pick(kCompanyKinds)) + " " +
                std::string(random.Pick(kPlaceNames)) + " " +
                std::string(random.Pick(kCompanySuffixes));
  return party;
}

const Insurer &RandomInsurer(Random &random) {
  return random.Pick(kInsurers);
}

std::string RandomFarmName(Random &random) {
  std::string name(random.Pick(kFarmKinds));
  if (name == "PARCELA" || name == "LOTE" || name == "SITIO") {
    name += " " + std::to_string(random.Between(1, 60));
  }
  return name + " " + std::string(random.Pick(kPlaceNames));
}

std::string RandomRol(Random &random) {
  return std::to_string(random.Between(1, 2999)) + "-" + std::to_string(random.Between(1, 450));
}

} // namespace verdalia::gen
