#include "support/fixtures.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <sqlite3.h>

#include "common/file_mapping.h"

namespace verdalia::testing {

const char *const kEmptySchemaSql = R"(
CREATE TABLE TipoArchivo (TipoArchivo INTEGER PRIMARY KEY, Descripcion TEXT, line_lengths INTEGER);
CREATE TABLE DefArchivo (
  TipoArchivo INTEGER, TipoRegistro TEXT, Sec INTEGER, Campo TEXT, PosicionInicial INTEGER,
  Largo INTEGER, Tipo TEXT, DECIMALES INTEGER, Obligatorio TEXT, ValoresValidos TEXT,
  ErrorFisico TEXT);
CREATE TABLE COMUNA (COD_COMUNA TEXT);
CREATE TABLE CULTIVO (COD_CULTIVO TEXT);
CREATE TABLE TipoCultivoUniFisc (COD_CULTIVO TEXT, UNIDAD_FISICA TEXT);
CREATE TABLE RegionComunaZHS (COD_REGION TEXT, COD_COMUNA TEXT, ZONA_HOMOGENEA TEXT);
)";

TempDir::TempDir() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    m_path = base / ("verdalia-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(m_path)) {
      break;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore write permission on anything a test made read-only, so removal succeeds.
  for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(m_path, ec);
}

std::string TempDir::Write(const std::string &name, std::string_view bytes) const {
  const auto path = m_path / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
  return path.string();
}

std::string MakeDatabase(const TempDir &dir, const std::string &sql, const std::string &name) {
  const std::string path = (dir.path() / name).string();
  std::filesystem::remove(path);
  sqlite3 *db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot create " + path);
  }
  char *error = nullptr;
  // Fixtures need no durability: without syncs a database is made in a millisecond.
  sqlite3_exec(db, "PRAGMA synchronous=OFF; PRAGMA journal_mode=MEMORY;", nullptr, nullptr,
               nullptr);
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "sql error";
    sqlite3_free(error);
    sqlite3_close(db);
    throw std::runtime_error("fixture SQL failed: " + message);
  }
  sqlite3_close(db);
  return path;
}

ReferenceData LoadFromSql(const std::string &rows_sql) {
  const TempDir dir;
  const std::string path = MakeDatabase(dir, std::string(kEmptySchemaSql) + rows_sql);
  return LoadReferenceData(path);
}

std::string ReadBytes(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool ViewFilesAsTheProgramsDo() {
#ifdef _WIN32
  InstallFileViewGuard();
  return true;
#else
  return InstallFileViewGuard();
#endif
}

} // namespace verdalia::testing
