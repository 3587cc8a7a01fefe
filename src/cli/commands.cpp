#include "cli/commands.h"

#include <filesystem>
#include <memory>
#include <optional>

#include "cli/report_writer.h"
#include "common/file_kind.h"
#include "common/windows1252.h"
#include "engine/session.h"
#include "refdata/reference_data.h"
#include "reports/error_list_writer.h"

namespace verdalia::cli {
namespace {

constexpr const char *kUsage = R"(usage: verdalia-cli check [options] FILE...
       verdalia-cli reference [--db PATH]
       verdalia-cli import-mdb [--force] IN.mdb OUT.db
       verdalia-cli --help

check: runs the physical verification of each FILE and, when its physical list holds no
error (no row, or only rows beginning with "Advertencia"), the logical verification.
The first letter of the file name gives the kind (P production, D claim notices,
S claims); characters 2 to 7 of the name are the period.

options of check:
  --db PATH                  reference database (SQLite, or Access .mdb/.accdb);
                             default: Base/verdalia7.db beside the program, or
                             Base/verdalia7.mdb when only that one is there
  --save                     write FILE.err.fisico and, when the logical verification
                             ran, FILE.err.logico beside each file (Windows-1252,
                             TAB-separated, CR LF; an existing list is replaced whole)
  --format text|json         output format (default text)
  --decimal-separator SEP    decimal separator of amounts in logical messages
                             (default: the user's locale, LC_NUMERIC)
  --physical-only            run only the physical verification

reference: loads the reference database as start-up does and prints what it holds
(definitions per kind and record type, line lengths, code counts); exit status 3 when
it cannot be used.

import-mdb: copies the six reference tables of an Access database (.mdb or .accdb) into
a new SQLite reference database, written whole or not at all. IN must load as start-up
loads it (exit status 3 otherwise); an existing OUT is replaced only with --force (exit
status 2 when OUT is not replaced or cannot be written).

exit status:
  0   no error row in any list (warnings allowed)
  1   some list holds an error row
  2   some file was refused (wrong first letter, wrong line length, unreadable, more
      than 32767 lines) or a list could not be saved
  3   the reference database is unusable (nothing is validated)
  64  usage error
Refusals and failures are written to standard error; findings to standard output.
)";

struct CheckOptions {
  std::optional<std::string> db;
  bool save = false;
  std::string format = "text";
  std::optional<std::string> decimal_separator;
  bool physical_only = false;
  std::vector<std::string> files;
};

int Usage(std::ostream &err, const std::string &problem) {
  err << "verdalia-cli: " << problem << "\n" << "Try 'verdalia-cli --help'.\n";
  return kExitUsage;
}

std::string KindLetter(const std::string &name) {
  const auto kind = KindOfFileName(name);
  if (!kind) {
    return "";
  }
  return std::string(1, kind->number == 1 ? 'P' : kind->number == 2 ? 'D' : 'S');
}

int Check(const CheckOptions &options, std::ostream &out, std::ostream &err) {
  std::unique_ptr<Session> session;
  try {
    const std::string db = options.db ? *options.db : DefaultReferenceDatabasePath();
    NumberFormat numbers;
    numbers.decimal_separator =
        options.decimal_separator ? Utf8ToWindows1252(*options.decimal_separator)
                                  : LocaleDecimalSeparator();
    session = std::make_unique<Session>(LoadReferenceData(db), numbers);
  } catch (const ReferenceDataError &error) {
    err << "verdalia-cli: " << error.what() << "\n";
    return kExitReference;
  }

  const auto writer = options.format == "json" ? MakeJsonWriter(out) : MakeTextWriter(out);
  bool any_refused = false;
  bool any_error = false;
  for (const std::string &file : options.files) {
    const std::filesystem::path path(file);
    const std::string folder =
        path.has_parent_path() ? path.parent_path().string() : std::string(".");
    const std::string name = path.filename().string();

    FileReport report;
    report.path = file;
    report.kind = KindLetter(Utf8ToWindows1252(name));

    const RunOutcome physical = session->RunPhysical(folder, name);
    report.title = report.kind.empty() ? std::string() : session->lblValidacionFisica()[0];
    if (physical.refused) {
      any_refused = true;
      report.refused = true;
      report.refusal = physical.notice.text;
      err << "verdalia-cli: " << file << ": " << Windows1252ToUtf8(physical.notice.text) << "\n";
      writer->Write(report);
      continue;
    }
    report.physical = &session->PhysicalList();
    auto save = [&](ListKind kind, const ResultList &rows) {
      const std::string target = ErrorListPath(folder, name, kind);
      const SaveResult saved = SaveErrorList(target, rows);
      if (saved.ok) {
        report.saved.push_back(target);
      } else {
        any_refused = true;
        err << "verdalia-cli: no se pudo guardar " << target << ": " << saved.error << "\n";
      }
    };
    if (options.save) {
      save(ListKind::Physical, session->PhysicalList());
    }
    if (physical.logical_enabled && !options.physical_only) {
      const RunOutcome logical = session->RunLogical(folder, name);
      if (logical.refused) {
        any_refused = true;
        report.refused = true;
        report.refusal = logical.notice.text;
        err << "verdalia-cli: " << file << ": " << Windows1252ToUtf8(logical.notice.text) << "\n";
      } else {
        report.logical = &session->LogicalList();
        if (options.save) {
          save(ListKind::Logical, session->LogicalList());
        }
      }
    }
    report.labels = session->lblValidacionFisica();
    const Counts physical_counts = CountRows(report.physical);
    const Counts logical_counts = CountRows(report.logical);
    if (physical_counts.errors + logical_counts.errors > 0) {
      any_error = true;
    }
    writer->Write(report);
  }
  writer->Finish();
  if (any_refused) {
    return kExitRefused;
  }
  return any_error ? kExitFindings : kExitClean;
}

int RunCheck(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  CheckOptions options;
  bool only_files = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    auto value = [&](const std::string &option) -> std::optional<std::string> {
      const std::string prefix = option + "=";
      if (arg.rfind(prefix, 0) == 0) {
        return arg.substr(prefix.size());
      }
      if (i + 1 >= args.size()) {
        return std::nullopt;
      }
      return args[++i];
    };
    auto is = [&](const char *option) {
      return arg == option || arg.rfind(std::string(option) + "=", 0) == 0;
    };
    if (only_files || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.push_back(arg);
    } else if (arg == "--") {
      only_files = true;
    } else if (arg == "--help" || arg == "-h") {
      out << kUsage;
      return kExitClean;
    } else if (arg == "--save") {
      options.save = true;
    } else if (arg == "--physical-only") {
      options.physical_only = true;
    } else if (is("--db")) {
      const auto v = value("--db");
      if (!v || v->empty()) {
        return Usage(err, "--db needs a path");
      }
      options.db = *v;
    } else if (is("--format")) {
      const auto v = value("--format");
      if (!v || (*v != "text" && *v != "json")) {
        return Usage(err, "--format takes text or json");
      }
      options.format = *v;
    } else if (is("--decimal-separator")) {
      const auto v = value("--decimal-separator");
      if (!v || v->empty()) {
        return Usage(err, "--decimal-separator needs a separator");
      }
      options.decimal_separator = *v;
    } else {
      return Usage(err, "unknown option " + arg);
    }
  }
  if (options.files.empty()) {
    return Usage(err, "check needs at least one FILE");
  }
  return Check(options, out, err);
}

int RunReference(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  std::optional<std::string> db;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--db" && i + 1 < args.size()) {
      db = args[++i];
    } else if (args[i].rfind("--db=", 0) == 0) {
      db = args[i].substr(5);
    } else if (args[i] == "--help" || args[i] == "-h") {
      out << kUsage;
      return kExitClean;
    } else {
      return Usage(err, "unknown argument " + args[i]);
    }
  }
  const std::string path = db ? *db : DefaultReferenceDatabasePath();
  try {
    const ReferenceData data = LoadReferenceData(path);
    out << "Base de datos de referencia: " << path << "\n";
    for (int kind = 1; kind <= 3; ++kind) {
      out << "TipoArchivo " << kind << ": largo de fila " << data.LargoFila[kind];
      for (const char *type : {"1", "2", "3", "4"}) {
        const auto count = data.Definitions(kind, type).size();
        if (count > 0) {
          out << ", registro " << type << ": " << count << " campos";
        }
      }
      out << "\n";
    }
    auto count_codes = [](const CodeList &codes) {
      std::size_t bars = 0;
      for (const char c : codes.Text()) {
        bars += c == kBrokenBar ? 1 : 0;
      }
      return bars;
    };
    out << "COMUNA: " << count_codes(data.CodigosComuna) << " códigos\n";
    out << "CULTIVO: " << count_codes(data.CodigosCultivo) << " códigos\n";
  } catch (const ReferenceDataError &error) {
    err << "verdalia-cli: " << error.what() << "\n";
    return kExitReference;
  }
  return kExitClean;
}

} // namespace

int RunImportMdb(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

int Main(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  if (args.empty()) {
    return Usage(err, "missing command");
  }
  const std::string &command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitClean;
  }
  if (command == "check") {
    return RunCheck(rest, out, err);
  }
  if (command == "reference") {
    return RunReference(rest, out, err);
  }
  if (command == "import-mdb") {
    return RunImportMdb(rest, out, err);
  }
  return Usage(err, "unknown command " + command);
}

} // namespace verdalia::cli
