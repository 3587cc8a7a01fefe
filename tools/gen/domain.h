#pragma once

#include <string>

namespace verdalia::gen {

class Random;

// A person or a company as the data files name them. Names use only the characters text
// fields accept: capitals without accents, no "Ñ" and no points ("S A", not "S.A.").
struct Party {
  long long rut = 0;
  std::string paternal; // apellido paterno; empty for a company
  std::string maternal; // apellido materno; empty for a company
  std::string names;    // given names, or the company's name

  // "NAMES PATERNAL MATERNAL", or the company's name.
  std::string FullName() const;
};

Party RandomPerson(Random &random);
Party RandomCompany(Random &random);

// Identity numbers in the ranges where they occur: people up to the mid twenty millions,
// companies from 76 million on.
long long RandomPersonRut(Random &random);
long long RandomCompanyRut(Random &random);

struct Insurer {
  long long rut;
  const char *name;
};
const Insurer &RandomInsurer(Random &random);

std::string RandomFarmName(Random &random);
// A property's tax roll number (rol de avalúo): block and lot.
std::string RandomRol(Random &random);

} // namespace verdalia::gen
