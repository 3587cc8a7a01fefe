// Production files: policies and endorsements (records "2") with their items (records "3").
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/record_layout.h"
#include "gen/builders.h"
#include "gen/domain.h"

namespace verdalia::gen {
namespace {

struct Item {
  int number = 1;
  std::string farm;
  std::string rol;
  std::string commune;
  std::string irrigation;
  std::string sown;
  long long yield = 0; // quantity B: hundredths of a unit per hectare
  long long area = 0;  // quantity A: hundredths of a hectare
};

struct Policy {
  bool endorsement = false;
  std::string number;
  long long endorsement_number = 0;
  std::string issued;
  std::string start;
  std::string end;
  std::string endorsement_issued = "00000000";
  std::string endorsement_start = "00000000";
  long long broker = 0;
  long long coverage = 100; // hundredths
  Party insured;
  Party holder;
  std::string commune;
  std::string crop;
  std::string season;
  long long price = 0;         // unit price, ten-thousandths of UF
  long long rate = 0;          // premium rate, hundredths of a percent
  long long fixed_premium = 0; // cents of UF
  long long insured_amount = 0;
  long long net_premium = 0;
  std::string endorsement_type = "  ";
  std::vector<Item> items;
};

// The largest value an amount field holds, in units of its last decimal: all its digits 9.
constexpr long long MostUnits(const Amount &amount) {
  long long most = 0;
  for (std::size_t digit = 0; digit < amount.span.length; ++digit) {
    most = most * 10 + 9;
  }
  return most;
}

constexpr long long kMostInsuredAmount = MostUnits(kPolicy.insured_amount);
constexpr long long kMostNetPremium = MostUnits(kPolicy.net_premium);
constexpr long long kLeastNetPremium = 350; // the minimum premium of new policies

std::string PolicyNumber(int year, long long sequence) {
  char text[32];
  std::snprintf(text, sizeof text, "AGR-%04d-%06lld", year, sequence % 1000000);
  return text;
}

// The insured amount as the production rules recompute it: area times yield summed over
// the items in file order, times the unit price, rounded to cents. The same double
// arithmetic gives the same cents.
long long ComputedInsuredAmount(const Policy &policy) {
  double sum = 0.0;
  for (const Item &item : policy.items) {
    sum =
        sum + (static_cast<double>(item.area) / 100.0) * (static_cast<double>(item.yield) / 100.0);
  }
  const double amount = sum * (static_cast<double>(policy.price) / 10000.0);
  const double rounded = std::floor((amount + 0.005) * 100.0) / 100.0;
  return std::llround(rounded * 100.0);
}

// Fixed premium plus insured amount times rate, rounded to cents: what the rules expect of
// an endorsement's net premium, and what a new policy charges.
long long ComputedNetPremium(const Policy &policy) {
  const double sum = static_cast<double>(policy.fixed_premium) / 100.0 +
                     static_cast<double>(policy.insured_amount) / 100.0 *
                         (static_cast<double>(policy.rate) / 100.0) / 100.0;
  const double rounded = std::floor((sum + 0.005) * 100.0) / 100.0;
  return std::llround(rounded * 100.0);
}

void PriceNetPremium(Policy &policy) {
  policy.net_premium = ComputedNetPremium(policy);
  // A new policy pays at least the minimum premium: the fixed premium makes up the rest.
  while (!policy.endorsement && policy.net_premium < kLeastNetPremium) {
    policy.fixed_premium += kLeastNetPremium - policy.net_premium;
    policy.net_premium = ComputedNetPremium(policy);
  }
  if (policy.net_premium == 0) {
    policy.net_premium = 1; // a premium of zero is refused; at 0.01 nothing is recomputed
  }
}

// The insured and the contractor: often one party; two parties never share an identity
// number.
void ChooseParties(Random &random, Policy &policy) {
  policy.insured = random.Chance(0.85) ? RandomPerson(random) : RandomCompany(random);
  if (random.Chance(0.4)) {
    policy.holder = policy.insured;
  } else {
    policy.holder = random.Chance(0.5) ? RandomCompany(random) : RandomPerson(random);
    if (policy.holder.rut == policy.insured.rut) {
      ++policy.holder.rut; // one identity number, one name
    }
  }
}

// The policy's items, sown before its validity starts, in the policy's commune.
void AddItems(Random &random, Policy &policy, int item_count, const Date &start) {
  // Keep the insured amount within its field: each item may add at most its share of
  // 90,000 UF.
  const double share = 90000.0 / item_count;
  for (int k = 0; k < item_count; ++k) {
    Item item;
    item.number = k + 1;
    item.farm = RandomFarmName(random);
    item.rol = RandomRol(random);
    item.commune = policy.commune;
    item.irrigation = random.Chance(0.6) ? "R" : "S";
    item.sown = DateText(AddDays(start, -random.Between(5, 120)));
    item.yield = random.Between(1500, 11000);
    const double per_hectare =
        static_cast<double>(item.yield) / 100.0 * static_cast<double>(policy.price) / 10000.0;
    const long long most_area =
        std::max(1LL, std::min(6000LL, static_cast<long long>(share / per_hectare * 100.0)));
    item.area = random.Between(std::min(50LL, most_area), most_area);
    policy.items.push_back(item);
  }
}

Policy MakePolicy(Context &context, long long sequence, int item_count, bool endorsement) {
  Random &random = context.random;
  static const std::vector<std::string> kEndorsementTypes = {"C ", "CA", "D ", "A ", "RE"};
  static const std::vector<long long> kCoverages = {60, 70, 75, 80, 85, 90, 100};
  Policy policy;
  policy.endorsement = endorsement;
  Date issued;
  Date start;
  if (!endorsement) {
    issued = context.DayOfPeriod();
    start = AddDays(issued, random.Between(0, 20));
    policy.end = DateText(AddDays(start, random.Between(150, 365)));
  } else {
    // An endorsement of a policy written earlier in the season.
    start = AddDays(context.closing, -random.Between(60, 330));
    issued = AddDays(start, -random.Between(0, 15));
    policy.end = DateText(AddDays(start, 365));
    const Date endorsed = context.DayOfPeriod();
    policy.endorsement_issued = DateText(endorsed);
    policy.endorsement_start = DateText(AddDays(endorsed, random.Between(0, 10)));
    policy.endorsement_number = random.Between(1, 6);
    policy.endorsement_type = random.Pick(kEndorsementTypes);
  }
  policy.issued = DateText(issued);
  policy.start = DateText(start);
  policy.number = PolicyNumber(issued.year, sequence);
  policy.broker = random.Chance(0.3) ? 0 : random.Between(1000, 99999);
  policy.coverage = random.Pick(kCoverages);
  ChooseParties(random, policy);
  policy.commune = random.Pick(context.farm_communes);
  policy.crop = random.Pick(context.crops);
  policy.season = SeasonOf(start);
  policy.price = random.Between(1500, 12000);
  policy.rate = random.Between(150, 800);
  AddItems(random, policy, item_count, start);
  policy.insured_amount = ComputedInsuredAmount(policy);
  const bool pays_fixed = !endorsement || policy.endorsement_type == "C ";
  policy.fixed_premium = pays_fixed ? random.Between(50, 500) : 0;
  PriceNetPremium(policy);
  return policy;
}

enum class Fault {
  Coverage,
  Commune,
  Crop,
  SameIdentityOtherName,
  EndorsementNumberOnNewPolicy,
  NoEndorsementNumber,
  NoFixedPremiumOnNewPolicy,
  NoFixedPremiumOnCancellation,
  FixedPremiumOnOtherEndorsement,
  InsuredAmountOff,
  InsuredAmountSlightlyOff,
  NetPremiumBelowMinimum,
  NetPremiumOff,
  DatesReversed,
  RepeatedItem,
};

std::vector<Fault> FaultsFor(const Policy &policy) {
  std::vector<Fault> faults = {Fault::Coverage, Fault::Commune, Fault::Crop,
                               Fault::SameIdentityOtherName, Fault::DatesReversed};
  if (!policy.endorsement) {
    faults.insert(faults.end(),
                  {Fault::EndorsementNumberOnNewPolicy, Fault::NoFixedPremiumOnNewPolicy,
                   Fault::InsuredAmountOff, Fault::NetPremiumBelowMinimum});
    if (policy.insured_amount >= 1000) {
      faults.push_back(Fault::InsuredAmountSlightlyOff);
    }
  } else {
    faults.insert(faults.end(), {Fault::NoEndorsementNumber, Fault::NetPremiumOff});
    if (policy.endorsement_type == "C ") {
      faults.push_back(Fault::NoFixedPremiumOnCancellation);
    } else {
      faults.push_back(Fault::FixedPremiumOnOtherEndorsement);
    }
    if (policy.items.size() >= 2) {
      faults.push_back(Fault::RepeatedItem);
    }
  }
  return faults;
}

// A code that the list does not hold: first the commune codes that Ñuble's communes had
// before the region was created, a typical stale code.
std::string UnknownCommune(Context &context) {
  const CodeList &valid = context.reference.commune_codes;
  for (int attempt = 0; attempt < 50; ++attempt) {
    char code[8];
    if (attempt < 20) {
      std::snprintf(code, sizeof code, "084%02lld", context.random.Between(1, 21));
    } else {
      std::snprintf(code, sizeof code, "%05lld", context.random.Between(0, 99999));
    }
    if (!valid.Contains(code)) {
      return code;
    }
  }
  return "00000";
}

std::string UnknownCrop(Context &context, const std::string &crop) {
  const CodeList &valid = context.reference.crop_codes;
  // The code as the rules read it, its last two characters a number the list lacks.
  const std::size_t width = kPolicy.crop.length;
  std::string code = crop;
  code.resize(width, ' ');
  for (int n = 99; n >= 10; --n) {
    code.replace(width - 2, 2, std::to_string(n));
    if (!valid.Contains(code)) {
      return code;
    }
  }
  return "ZZZZZZ";
}

// The contractor takes the insured's identity number under another name.
void GiveHolderOtherName(Random &random, Policy &policy) {
  const long long rut = policy.insured.rut;
  do {
    policy.holder = random.Chance(0.5) ? RandomCompany(random) : RandomPerson(random);
  } while (policy.holder.FullName() == policy.insured.FullName());
  policy.holder.rut = rut;
}

// The insured amount `up` above the computed one, or `down` below it where that would not
// fit the field.
void MoveInsuredAmount(Policy &policy, long long up, long long down) {
  const long long computed = policy.insured_amount;
  const long long off = computed + up;
  policy.insured_amount = off <= kMostInsuredAmount ? off : computed - down;
}

// A net premium above 4.50, so that it is recomputed, and more than 5 % away from the
// computed one.
long long NetPremiumOff(const Policy &policy) {
  const long long computed = ComputedNetPremium(policy);
  const long long off = std::max(computed + std::max(computed * 3 / 10, 100LL), 500LL);
  return off <= kMostNetPremium ? off : computed * 7 / 10;
}

// Two neighbouring items with one number; the lines still differ, so only the
// repeated-item row follows and the rule set goes on.
void RepeatFirstItemNumber(Policy &policy) {
  Item &second = policy.items[1];
  second.number = policy.items[0].number;
  if (second.area == policy.items[0].area) {
    second.area = second.area > 1 ? second.area - 1 : second.area + 1;
  }
}

void Inject(Context &context, Policy &policy) {
  Random &random = context.random;
  switch (random.Pick(FaultsFor(policy))) {
  case Fault::Coverage:
    policy.coverage = random.Between(101, 150);
    break;
  case Fault::Commune:
    policy.commune = UnknownCommune(context);
    break;
  case Fault::Crop:
    policy.crop = UnknownCrop(context, policy.crop);
    break;
  case Fault::SameIdentityOtherName:
    GiveHolderOtherName(random, policy);
    break;
  case Fault::EndorsementNumberOnNewPolicy:
    policy.endorsement_number = random.Between(1, 9);
    break;
  case Fault::NoEndorsementNumber:
    policy.endorsement_number = 0;
    break;
  case Fault::NoFixedPremiumOnNewPolicy:
    policy.fixed_premium = 0; // the net premium stays as written
    break;
  case Fault::NoFixedPremiumOnCancellation:
    policy.fixed_premium = 0;
    PriceNetPremium(policy);
    break;
  case Fault::FixedPremiumOnOtherEndorsement:
    policy.fixed_premium = random.Between(100, 500);
    PriceNetPremium(policy);
    break;
  case Fault::InsuredAmountOff:
    MoveInsuredAmount(policy, std::max(policy.insured_amount / 4, 100LL),
                      policy.insured_amount / 4);
    break;
  case Fault::InsuredAmountSlightlyOff:
    // Within 5 % of the computed amount and more than 0.10 away: a warning.
    MoveInsuredAmount(policy, policy.insured_amount * 3 / 100, policy.insured_amount * 3 / 100);
    break;
  case Fault::NetPremiumBelowMinimum:
    policy.net_premium = random.Between(1, kLeastNetPremium - 1);
    break;
  case Fault::NetPremiumOff:
    policy.net_premium = NetPremiumOff(policy);
    break;
  case Fault::DatesReversed:
    if (random.Chance(0.5)) {
      std::swap(policy.start, policy.end);
    } else {
      policy.end = policy.start;
    }
    break;
  case Fault::RepeatedItem:
    RepeatFirstItemNumber(policy);
    break;
  }
}

void AddParty(Record &record, const std::string &role, const Party &party) {
  record.Number("RUT_" + role, party.rut)
      .Text("A_P_" + role, party.paternal)
      .Text("A_M_" + role, party.maternal)
      .Text("NOMBRE_" + role, party.names);
}

Record PolicyRecord(const Policy &policy) {
  Record record('2');
  record.Text("TIPO_REGISTRO", "2")
      .Text("FECHA_EMISION", policy.issued)
      .Number("CODIGO_CORREDOR", policy.broker)
      .Text("TIPO_INFORMACION", policy.endorsement ? "E" : "P")
      .Text("NUMERO_POLIZA", policy.number)
      .Number("NIVEL_COBERTURA", policy.coverage, 2)
      .Number("NUMERO_ENDOSO", policy.endorsement_number)
      .Text("FECHA_VIGENCIA_INICIAL", policy.start)
      .Text("FECHA_VIGENCIA_FINAL", policy.end)
      .Text("FECHA_POLIZA_ENDOSO", policy.endorsement_issued);
  AddParty(record, "ASEGURADO", policy.insured);
  AddParty(record, "CONTRATANTE", policy.holder);
  record.Text("COD_COMUNA", policy.commune)
      .Text("COD_CULTIVO", policy.crop)
      .Text("TEMPORADA", policy.season)
      .Number("PRECIO_UNITARIO", policy.price, 4)
      .Number("TASA_PRIMA", policy.rate, 2)
      .Number("PRIMA_FIJA", policy.fixed_premium, 2)
      .Number("MONTO_ASEGURADO", policy.insured_amount, 2)
      .Number("PRIMA_NETA", policy.net_premium, 2)
      .Text("FECHA_VIGENCIA_ENDOSO", policy.endorsement_start);
  return record;
}

Record ItemRecord(const Policy &policy, const Item &item) {
  Record record('3');
  record.Text("TIPO_REGISTRO", "3")
      .Text("NUMERO_POLIZA", policy.number)
      .Number("NUMERO_ITEM", item.number)
      .Text("NOMBRE_PREDIO", item.farm)
      .Text("ROL_PREDIO", item.rol)
      .Text("COD_COMUNA_PREDIO", item.commune)
      .Text("TIPO_RIEGO", item.irrigation)
      .Text("FECHA_SIEMBRA", item.sown)
      .Number("RENDIMIENTO_ASEGURADO", item.yield, 2)
      .Number("SUPERFICIE_ASEGURADA", item.area, 2)
      .Number("NUMERO_ENDOSO", policy.endorsement_number)
      .Text("TIPO_ENDOSO", policy.endorsement_type);
  return record;
}

} // namespace

std::vector<std::string> BuildProduction(Context &context) {
  Random &random = context.random;
  const Record header = HeaderRecord(context);
  const std::vector<int> groups =
      SplitIntoGroups(context.options.records - 2, context.options.layout, 5, random);

  std::vector<Policy> policies;
  policies.reserve(groups.size());
  long long sequence = random.Between(1000, 400000);
  for (const int items : groups) {
    sequence += random.Between(1, 3);
    policies.push_back(MakePolicy(context, sequence, items, random.Chance(0.25)));
  }
  const std::vector<bool> faulty =
      ChooseFaulty(static_cast<int>(policies.size()), context.options.logical_faults, random);
  for (std::size_t i = 0; i < policies.size(); ++i) {
    if (faulty[i]) {
      Inject(context, policies[i]);
    }
  }

  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(context.options.records));
  lines.push_back(context.Line(header, Section::Header));
  long long items = 0;
  long long insured = 0;
  long long net = 0;
  for (const Policy &policy : policies) {
    lines.push_back(context.Line(PolicyRecord(policy), Section::Detail));
    if (context.options.layout != Layout::Distinct) {
      for (const Item &item : policy.items) {
        lines.push_back(context.Line(ItemRecord(policy, item), Section::Detail));
      }
    }
    items += static_cast<long long>(policy.items.size());
    insured += policy.insured_amount;
    net += policy.net_premium;
  }
  if (context.options.layout == Layout::Distinct) {
    // Every item after every policy: each partner search crosses half the file.
    for (const Policy &policy : policies) {
      for (const Item &item : policy.items) {
        lines.push_back(context.Line(ItemRecord(policy, item), Section::Detail));
      }
    }
  }
  Record control('4');
  control.Text("TIPO_REGISTRO", "4")
      .Number("TOTAL_REGISTROS", static_cast<long long>(lines.size()) + 1)
      .Number("TOTAL_POLIZAS", static_cast<long long>(policies.size()))
      .Number("TOTAL_ITEMS", items)
      .Number("SUMA_MONTO_ASEGURADO", insured, 2)
      .Number("SUMA_PRIMA_NETA", net, 2);
  lines.push_back(context.Line(control, Section::Control));
  return lines;
}

} // namespace verdalia::gen
