// verdalia-gen: writes data files for tests, benchmarks and demonstrations.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "gen/generator.h"
#include "refdata/reference_data.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitCannotWrite = 1;
constexpr int kExitReference = 3;
constexpr int kExitUsage = 64;

constexpr const char *kUsage = R"(usage: verdalia-gen [options] -o FILE

Writes a data file of the chosen kind, consistent with the reference database: with no
fault asked for, the physical and the logical verification find nothing in it. The same
options and seed always give the same bytes. FILE's name gives the period: characters 2
to 7 are YYYYMM (name it like P202401.txt). Lines end in CR LF.

options:
  -o, --output FILE         the data file to write (replaced when it exists)
  --kind P|D|S              P production, D claim notices, S claims
                            (default: the first letter of FILE's name)
  --records N               records in the file, header and control record included,
                            2 to 32767 (default 100); a P or S file cannot have 3
  --seed N                  seed of the pseudo-random choices (default 1)
  --db PATH                 reference database (default: Base/verdalia7.db beside the
                            program)
  --physical-faults RATE    share of records, 0 to 1, given one physical fault each
                            (a letter in a number, a bad date or check digit, lower case
                            or accents in a name, text in a filler, a wrong count); at
                            least one record when RATE is above 0 (default 0)
  --logical-faults RATE     share of policies, notices or claims, 0 to 1, given one fault
                            that only the logical verification finds (default 0)
  --layout valid|distinct|shared
                            valid: each policy or claim followed by its items or details
                            (default); distinct: every key once and all items or details
                            after all policies or claims, the longest scans; shared: up to
                            9999 items or details under one policy or claim (in D files
                            every notice under one key, so each repeats the next)
  -h, --help                this text

exit status: 0 written; 1 the file could not be written; 3 the reference database is
unusable; 64 usage error. Messages go to standard error.
)";

int Usage(const std::string &problem) {
  std::cerr << "verdalia-gen: " << problem << "\nTry 'verdalia-gen --help'.\n";
  return kExitUsage;
}

template <class Number> bool ParseNumber(const std::string &text, Number &value) {
  const char *end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && !text.empty();
}

bool ParseRate(const std::string &text, double &value) {
  // from_chars reads "." as the decimal point whatever the locale.
  return ParseNumber(text, value) && value >= 0.0 && value <= 1.0;
}

// Writes beside the target and renames, so a failed write leaves no half file behind.
bool WriteFile(const std::string &path, const std::string &bytes, std::string &problem) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      problem = "cannot create " + temp;
      return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      problem = "cannot write " + temp;
      std::remove(temp.c_str());
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    problem = "cannot replace " + path + ": " + ec.message();
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

// What the command line asks for.
struct Request {
  verdalia::gen::Options options;
  std::string output;
  std::string db;
  std::string kind;
};

// Applies one option and its value; the exit status when the value is refused.
std::optional<int> ApplyOption(const std::string &arg, const std::string &value, Request &request) {
  using verdalia::gen::Layout;
  verdalia::gen::Options &options = request.options;
  if (arg == "-o" || arg == "--output") {
    request.output = value;
  } else if (arg == "--kind") {
    request.kind = value;
  } else if (arg == "--records") {
    if (!ParseNumber(value, options.records)) {
      return Usage("--records needs a whole number, not '" + value + "'");
    }
  } else if (arg == "--seed") {
    if (!ParseNumber(value, options.seed)) {
      return Usage("--seed needs a whole number from 0 on, not '" + value + "'");
    }
  } else if (arg == "--db") {
    request.db = value;
  } else if (arg == "--physical-faults") {
    if (!ParseRate(value, options.physical_faults)) {
      return Usage("--physical-faults needs a share from 0 to 1, not '" + value + "'");
    }
  } else if (arg == "--logical-faults") {
    if (!ParseRate(value, options.logical_faults)) {
      return Usage("--logical-faults needs a share from 0 to 1, not '" + value + "'");
    }
  } else if (value == "valid" || value == "distinct" || value == "shared") { // --layout
    options.layout = value == "valid"      ? Layout::Valid
                     : value == "distinct" ? Layout::Distinct
                                           : Layout::Shared;
  } else {
    return Usage("--layout is valid, distinct or shared, not '" + value + "'");
  }
  return std::nullopt;
}

// Reads the options; the exit status when the program ends here (help, usage error).
std::optional<int> ParseArguments(const std::vector<std::string> &args, Request &request) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return kExitWritten;
    }
    const bool takes_value = arg == "-o" || arg == "--output" || arg == "--kind" ||
                             arg == "--records" || arg == "--seed" || arg == "--db" ||
                             arg == "--physical-faults" || arg == "--logical-faults" ||
                             arg == "--layout";
    if (!takes_value) {
      return Usage("unknown option '" + arg + "'");
    }
    if (i + 1 >= args.size()) {
      return Usage("option '" + arg + "' needs a value");
    }
    if (const std::optional<int> status = ApplyOption(arg, args[++i], request)) {
      return status;
    }
  }
  return std::nullopt;
}

// The period, and the kind when no option gave it, from the output file's name; the exit
// status when the name does not fit.
std::optional<int> ReadFileName(Request &request) {
  if (request.output.empty()) {
    return Usage("no output file: give -o FILE");
  }
  const std::string name = std::filesystem::path(request.output).filename().string();
  request.options.period = verdalia::gen::PeriodOfFileName(name);
  if (request.options.period.empty()) {
    return Usage("the name '" + name +
                 "' carries no period: characters 2 to 7 must be YYYYMM (as in P202401.txt)");
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
  std::string &kind = request.kind;
  if (kind.empty()) {
    kind = std::string(1, letter);
  }
  if (kind != "P" && kind != "D" && kind != "S") {
    return Usage("--kind is P, D or S, not '" + kind + "'");
  }
  if (kind[0] != letter) {
    return Usage("a " + kind + " file's name begins with " + kind + ", not '" + name + "'");
  }
  request.options.kind = kind[0];
  return std::nullopt;
}

} // namespace

int main(int argc, char **argv) {
  Request request;
  if (const std::optional<int> status =
          ParseArguments(std::vector<std::string>(argv + 1, argv + argc), request)) {
    return *status;
  }
  if (const std::optional<int> status = ReadFileName(request)) {
    return *status;
  }

  verdalia::ReferenceData reference;
  try {
    reference = verdalia::LoadReferenceData(
        request.db.empty() ? verdalia::DefaultReferenceDatabasePath() : request.db);
  } catch (const verdalia::ReferenceDataError &error) {
    std::cerr << "verdalia-gen: " << error.what() << "\n";
    return kExitReference;
  }
  std::vector<std::string> lines;
  try {
    lines = verdalia::gen::Generate(reference, request.options);
  } catch (const verdalia::gen::GeneratorError &error) {
    return Usage(error.what());
  }
  std::string problem;
  if (!WriteFile(request.output, verdalia::gen::JoinLines(lines), problem)) {
    std::cerr << "verdalia-gen: " << problem << "\n";
    return kExitCannotWrite;
  }
  return kExitWritten;
}
