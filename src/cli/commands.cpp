#include "cli/commands.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <optional>

#include <sys/stat.h>

#include <CLI/CLI.hpp>

#include "cli/import_mdb.h"
#include "cli/report_writer.h"
#include "common/file_kind.h"
#include "common/held_signals.h"
#include "common/path.h"
#include "common/windows1252.h"
#include "engine/validation.h"
#include "physical/field_types.h"
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
  --explain                  under each row of the text listing, what the check read
                             (column and length), what it expected and the other
                             records involved, where it knows them (JSON always
                             carries them as value, expected and related)
  --summary                  tell each list as its rows grouped by field and by
                             message with its numbers set aside
                             (count and first record) instead of row by row

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
  std::string db; // empty: the default database
  bool save = false;
  std::string format = "text";
  std::optional<std::string> decimal_separator;
  bool physical_only = false;
  bool summary = false;
  bool explain = false;
  std::vector<std::string> files;
};

int Usage(std::ostream &err, const std::string &problem) {
  err << "verdalia-cli: " << Printable(problem) << "\n"
      << "Try 'verdalia-cli --help'.\n";
  return kExitUsage;
}

// The path a file is checked and its lists saved under: a bare name is taken in the current
// folder, written "./" before it.
std::string CheckedPath(const std::string &file) {
  return PathInFolder(file);
}

// The files a run reads, which no list it saves or removes may take the place of: a data file
// or a reference database named like another file's list stays as it is.
class InputFiles {
public:
  InputFiles(const std::string &db_path, const std::vector<std::string> &files) {
    Add(db_path, "es la base de datos de referencia");
    for (const std::string &file : files) {
      Add(file, "es uno de los archivos que se validan");
    }
  }

  // Why a list may not be written or removed at `path`; empty when it may.
  std::string Claim(const std::string &path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
      return {};
    }
    for (const Input &input : m_inputs) {
      if (input.device == info.st_dev && input.inode == info.st_ino) {
        return input.what;
      }
    }
    return {};
  }

private:
  struct Input {
    dev_t device;
    ino_t inode;
    const char *what;
  };
  void Add(const std::string &path, const char *what) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
      m_inputs.push_back({info.st_dev, info.st_ino, what});
    }
  }
  std::vector<Input> m_inputs;
};

// The whole check of one file, and its lists saved when asked. `labels` are the labels as
// the previous file left them.
class FileCheck {
public:
  FileCheck(const Validator &validator, const CheckOptions &options, const InputFiles &inputs,
            std::ostream &err)
      : m_validator(validator), m_options(options), m_inputs(inputs), m_err(err) {}

  // Fills `report`; false when the file was refused or a list could not be saved or removed.
  bool Run(const std::string &file, HeaderLabels &labels, FileReport &report) {
    const std::string path = CheckedPath(file);
    report.path = file;
    m_check = CheckResult{}; // the previous file's lists go before this one's are made
    m_check = m_validator.Check(path, labels,
                                m_options.physical_only ? Scope::PhysicalOnly : Scope::Both);
    const RunResult &physical = m_check.physical;
    if (physical.kind) {
      report.kind = std::string(1, FactsOf(*physical.kind).letter);
      report.title = Cp1252Text(FactsOf(*physical.kind).title);
    }
    report.outcome = m_check.outcome;
    if (physical.Refused()) {
      return Refuse(file, *physical.refusal, report);
    }
    const RunResult &last = m_check.logical ? *m_check.logical : physical;
    labels = last.labels;
    report.labels = labels;
    report.physical = &physical.rows;
    if (m_check.logical) {
      report.logical = &m_check.logical->rows;
    }
    if (!m_options.save) {
      return true;
    }
    // The two lists beside a file are one check's: both are put in place together, or
    // neither and the earlier check's lists stay as they were; an interrupt waits until the
    // list of an earlier check that this one does not replace is gone too.
    const HeldSignals held;
    bool ok = true;
    std::vector<ListFile> lists;
    const auto add = [&](ListKind kind, const ResultList &rows) {
      const std::string target = ErrorListPath(path, kind);
      if (const std::string why = NotAList(target); !why.empty()) {
        m_err << "verdalia-cli: no se pudo guardar " << Printable(target) << ": " << why << "\n";
        ok = false;
      } else {
        lists.push_back({target, &rows});
      }
    };
    add(ListKind::Physical, physical.rows);
    if (m_check.logical) {
      add(ListKind::Logical, m_check.logical->rows);
    }
    if (!Save(lists, report)) {
      return false;
    }
    if (!m_check.logical) {
      ok = RemoveStaleList(path, report) && ok;
    }
    return ok;
  }

  // Frees the lists of the last file.
  void Release() { m_check = CheckResult{}; }

private:
  bool Refuse(const std::string &file, const Refusal &refusal, FileReport &report) {
    report.refused = true;
    report.refusal = refusal.message;
    m_err << "verdalia-cli: " << Printable(file) << ": "
          << Printable(Windows1252ToUtf8(refusal.message)) << "\n";
    return false;
  }

  // Why no list is written at `target`: a folder, a device or a link of that name, or a file
  // this run reads, is no list of an earlier check; it is left alone, and the other list is
  // still saved. Empty when the list may be written.
  std::string NotAList(const std::string &target) const {
    if (std::string input = m_inputs.Claim(target); !input.empty()) {
      return input;
    }
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      return "no es un archivo regular";
    }
    return {};
  }

  bool Save(const std::vector<ListFile> &lists, FileReport &report) {
    std::size_t failed = 0;
    const SaveResult saved = SaveErrorLists(lists, failed);
    if (!saved.ok) {
      m_err << "verdalia-cli: no se pudo guardar " << Printable(lists[failed].path) << ": "
            << saved.error << "\n";
      return false;
    }
    for (const ListFile &list : lists) {
      report.saved.push_back(list.path);
    }
    return true;
  }

  // A logical list beside the file from an earlier check would read as this check's: it goes.
  bool RemoveStaleList(const std::string &path, FileReport &report) {
    const std::string target = ErrorListPath(path, ListKind::Logical);
    if (const std::string input = m_inputs.Claim(target); !input.empty()) {
      m_err << "verdalia-cli: no se pudo eliminar " << Printable(target)
            << ", la lista lógica de una verificación anterior: " << input << "\n";
      return false;
    }
    const RemoveResult removed = RemoveErrorList(target);
    if (!removed.ok) {
      m_err << "verdalia-cli: no se pudo eliminar " << Printable(target)
            << ", la lista lógica de una verificación anterior: " << removed.error << "\n";
      return false;
    }
    if (removed.existed) {
      report.removed.push_back(target);
    }
    return true;
  }

  const Validator &m_validator;
  const CheckOptions &m_options;
  const InputFiles &m_inputs;
  std::ostream &m_err;
  CheckResult m_check;
};

int Check(const CheckOptions &options, std::ostream &out, std::ostream &err) {
  std::optional<Validator> validator;
  try {
    validator.emplace(LoadValidator(options.db, options.decimal_separator));
  } catch (const ReferenceDataError &error) {
    err << "verdalia-cli: " << Printable(error.what()) << "\n";
    return kExitReference;
  } catch (const std::bad_alloc &) {
    err << "verdalia-cli: no hay memoria suficiente para cargar la base de datos de referencia\n";
    return kExitReference;
  }
  const ListingOptions listing{options.summary, options.explain};
  const auto writer =
      options.format == "json" ? MakeJsonWriter(out, listing) : MakeTextWriter(out, listing);
  const InputFiles inputs(options.db.empty() ? DefaultReferenceDatabasePath() : options.db,
                          options.files);
  FileCheck check(*validator, options, inputs, err);
  HeaderLabels labels; // the labels carry from one file to the next, as in the window
  bool any_refused = false;
  bool any_error = false;
  for (const std::string &file : options.files) {
    FileReport report;
    any_refused = !check.Run(file, labels, report) || any_refused;
    any_error =
        any_error || CountRows(report.physical).errors + CountRows(report.logical).errors > 0;
    try {
      writer->Write(report);
    } catch (const std::bad_alloc &) {
      // The listing of a long list may need more memory than its check: the file is told as
      // refused, with its lists saved as they were, and the run goes on.
      any_refused = true;
      check.Release();
      FileReport refused;
      refused.path = report.path;
      refused.kind = report.kind;
      refused.title = report.title;
      refused.labels = report.labels;
      refused.refused = true;
      refused.refusal =
          Cp1252Text(Cp1252("No hay memoria suficiente para escribir el listado del archivo ") +
                     Utf8ToWindows1252(CheckedPath(file)) + ".");
      refused.saved = std::move(report.saved);
      refused.removed = std::move(report.removed);
      err << "verdalia-cli: " << Printable(file) << ": "
          << Printable(Windows1252ToUtf8(refused.refusal)) << "\n";
      writer->Write(refused);
    }
  }
  writer->Finish();
  if (any_refused) {
    return kExitRefused;
  }
  return any_error ? kExitFindings : kExitClean;
}

// What the database leaves unchecked, so that a user sees it before trusting a verdict: a
// kind without a line length (its files are all refused), a record type without
// definitions, a field of a type no check knows.
void WriteUnchecked(const ReferenceData &data, std::ostream &out) {
  for (const FileKind kind : kFileKinds) {
    const int number = NumberOf(kind);
    if (data.LineLength(kind) == 0) {
      out << "No se revisa: TipoArchivo " << number
          << " (no tiene largo de fila; todo archivo de este tipo se rechaza)\n";
      continue;
    }
    for (const char type : FactsOf(kind).allowed_types) {
      const auto &definitions = data.Definitions(kind, std::string_view(&type, 1));
      if (definitions.empty()) {
        out << "No se revisa: TipoArchivo " << number << ", registro " << type
            << " (no tiene definiciones de campo)\n";
      }
      for (const FieldDefinition &definition : definitions) {
        if (FactsOf(FieldTypeOf(definition.type)).check == FieldCheck::None) {
          out << "No se revisa: TipoArchivo " << number << ", registro " << type << ", campo "
              << Windows1252ToUtf8(definition.name) << " (Tipo '"
              << Windows1252ToUtf8(definition.type) << "' desconocido)\n";
        }
      }
    }
  }
}

int Reference(const std::string &db_path, std::ostream &out, std::ostream &err) {
  const std::string path = db_path.empty() ? DefaultReferenceDatabasePath() : db_path;
  try {
    const ReferenceData data = LoadReferenceData(path);
    out << "Base de datos de referencia: " << path << "\n";
    for (const FileKind kind : kFileKinds) {
      out << "TipoArchivo " << NumberOf(kind) << ": largo de fila " << data.LineLength(kind);
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
    out << "COMUNA: " << count_codes(data.commune_codes) << " códigos\n";
    out << "CULTIVO: " << count_codes(data.crop_codes) << " códigos\n";
    WriteUnchecked(data, out);
  } catch (const ReferenceDataError &error) {
    err << "verdalia-cli: " << Printable(error.what()) << "\n";
    return kExitReference;
  }
  return kExitClean;
}

// "--help" or "-h" anywhere before "--" asks for the help of the command, whatever else
// the line says.
bool AsksForHelp(const std::vector<std::string> &args) {
  for (const std::string &arg : args) {
    if (arg == "--") {
      return false;
    }
    if (arg == "--help" || arg == "-h") {
      return true;
    }
  }
  return false;
}

// The three commands' options, as CLI11 fills them.
class CommandLine {
public:
  CommandLine() {
    m_app.set_help_flag();
    m_app.require_subcommand(1);
    m_check = m_app.add_subcommand("check");
    m_check->add_option("--db", m_check_options.db)->check(NotEmpty("needs a path", "PATH"));
    m_check->add_flag("--save", m_check_options.save);
    m_check->add_option("--format", m_check_options.format)
        ->check(CLI::Validator(
            [](std::string &value) {
              return value == "text" || value == "json" ? "" : "takes text or json";
            },
            "text|json"));
    m_check->add_option("--decimal-separator", m_check_options.decimal_separator)
        ->check(CLI::Validator(
            [](std::string &value) {
              return IsSeparator(value) ? ""
                                        : "takes one printable character that is neither a "
                                          "digit nor a blank";
            },
            "SEP"));
    m_check->add_flag("--physical-only", m_check_options.physical_only);
    m_check->add_flag("--summary", m_check_options.summary);
    m_check->add_flag("--explain", m_check_options.explain);
    m_check->add_option("FILE", m_check_options.files);
    m_reference = m_app.add_subcommand("reference");
    m_reference->add_option("--db", m_reference_db);
    m_import = m_app.add_subcommand("import-mdb");
    m_import->add_flag("--force", m_import_options.force);
    m_import->add_option("PATHS", m_import_paths);
    for (CLI::App *command : {m_check, m_reference, m_import}) {
      command->set_help_flag();
      command->allow_extras(); // an unknown option is told by Run, in this program's words
    }
  }

  // Parses the arguments of a known command and runs it.
  int Run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    // Everything after "--" is a file name, whatever it looks like.
    const auto end_of_options = std::find(args.begin(), args.end(), "--");
    std::vector<const char *> argv = {"verdalia-cli"};
    for (auto arg = args.begin(); arg != end_of_options; ++arg) {
      argv.push_back(arg->c_str());
    }
    std::vector<std::string> after(
        end_of_options == args.end() ? end_of_options : end_of_options + 1, args.end());
    try {
      m_app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError &error) {
      return m_import->parsed() ? ImportUsage(err, error.what()) : Usage(err, error.what());
    }
    if (m_check->parsed()) {
      return RunCheck(std::move(after), out, err);
    }
    if (m_reference->parsed()) {
      std::vector<std::string> extra = m_reference->remaining();
      extra.insert(extra.end(), after.begin(), after.end());
      return extra.empty() ? Reference(m_reference_db, out, err)
                           : Usage(err, "unknown argument " + extra.front());
    }
    return RunImport(std::move(after), out, err);
  }

private:
  static CLI::Validator NotEmpty(const char *problem, const char *name) {
    return CLI::Validator([problem](std::string &value) { return value.empty() ? problem : ""; },
                          name);
  }

  // A decimal separator keeps an amount one readable column: one character Windows-1252
  // holds, printable, no digit, no blank; never TAB, CR or LF, which would split a row.
  static bool IsSeparator(const std::string &utf8) {
    const std::string cp1252 = Utf8ToWindows1252(utf8);
    if (cp1252.size() != 1 || Windows1252ToUtf8(cp1252) != utf8) {
      return false;
    }
    const auto c = static_cast<unsigned char>(cp1252[0]);
    const bool control =
        c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
    return !control && !(c >= '0' && c <= '9') && c != ' ' && c != 0xA0;
  }

  static int ImportUsage(std::ostream &err, const std::string &problem) {
    err << "verdalia-cli: import-mdb: " << Printable(problem) << "\n"
        << "Try 'verdalia-cli import-mdb --help'.\n";
    return kExitUsage;
  }

  int RunCheck(std::vector<std::string> after, std::ostream &out, std::ostream &err) {
    if (!m_check->remaining().empty()) {
      return Usage(err, "unknown option " + m_check->remaining().front());
    }
    m_check_options.files.insert(m_check_options.files.end(), after.begin(), after.end());
    if (m_check_options.files.empty()) {
      return Usage(err, "check needs at least one FILE");
    }
    return Check(m_check_options, out, err);
  }

  int RunImport(std::vector<std::string> after, std::ostream &out, std::ostream &err) {
    m_import_paths.insert(m_import_paths.end(), after.begin(), after.end());
    if (!m_import->remaining().empty()) {
      return ImportUsage(err, "unknown option " + m_import->remaining().front());
    }
    if (m_import_paths.size() != 2) {
      return ImportUsage(err, "needs the Access database IN and the SQLite database OUT");
    }
    m_import_options.in = m_import_paths[0];
    m_import_options.out = m_import_paths[1];
    return RunImportMdb(m_import_options, out, err);
  }

  CLI::App m_app{"verdalia-cli"};
  CLI::App *m_check = nullptr;
  CLI::App *m_reference = nullptr;
  CLI::App *m_import = nullptr;
  CheckOptions m_check_options;
  std::string m_reference_db;
  ImportOptions m_import_options;
  std::vector<std::string> m_import_paths;
};

} // namespace

int Main(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
  if (AsksForHelp(args) || (!args.empty() && args[0] == "help")) {
    out << (!args.empty() && args[0] == "import-mdb" ? kImportUsage : kUsage);
    return kExitClean;
  }
  if (args.empty()) {
    return Usage(err, "missing command");
  }
  const std::string &command = args[0];
  if (command != "check" && command != "reference" && command != "import-mdb") {
    return Usage(err, "unknown command " + command);
  }
  CommandLine command_line;
  return command_line.Run(args, out, err);
}

} // namespace verdalia::cli
