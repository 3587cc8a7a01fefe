// Running out of memory while the reference data loads is a refusal with its message, not
// an abort: every allocation of a load is made to fail in turn, and each load ends in
// ReferenceDataError, or loads in full where the failure was one it could do without. The
// private copy a database in WAL mode is read from never stays behind.

#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "refdata/reference_data.h"
#include "support/fixtures.h"

namespace {

long g_allocations_left = -1; // before the one that fails; -1: none fails
bool g_failed = false;

} // namespace

void *operator new(std::size_t size) {
  if (g_allocations_left >= 0 && g_allocations_left-- == 0) {
    g_failed = true;
    throw std::bad_alloc();
  }
  if (void *memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}

// Every other form of the plain allocation goes the same way, so that what one form
// allocates any other may free (the sanitizers would otherwise see their own new freed here).
void *operator new[](std::size_t size) { return operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc &) {
    return nullptr;
  }
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept {
  return operator new(size, tag);
}
#if defined(__GNUC__) && !defined(__clang__)
// Inlined into the array forms, GCC takes the free() here for one of new[]'s memory.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete[](void *memory) noexcept { operator delete(memory); }
void operator delete(void *memory, std::size_t) noexcept { operator delete(memory); }
void operator delete[](void *memory, std::size_t) noexcept { operator delete(memory); }
void operator delete(void *memory, const std::nothrow_t &) noexcept { operator delete(memory); }
void operator delete[](void *memory, const std::nothrow_t &) noexcept { operator delete(memory); }

namespace verdalia {
namespace {

const char *const kRows = R"(
INSERT INTO TipoArchivo VALUES (1, 'P', 30), (2, 'D', 30), (3, 'S', 30);
INSERT INTO DefArchivo VALUES
 (1,'1',1,'TIPO_REGISTRO',1,1,'N',NULL,'S','1#','Error. Tipo de registro'),
 (2,'2',2,'NUMERO_SINIESTRO',2,15,'T',NULL,'S','SI_ES:BLANCO','Error. Siniestro'),
 (2,'2',1,'TIPO_REGISTRO',1,1,'N',NULL,'S','2#',NULL),
 (3,'3',1,'MONTO',2,12,'D',2,'N',NULL,'Error. Monto');
INSERT INTO COMUNA VALUES ('13101'), ('13102'), (NULL);
INSERT INTO CULTIVO VALUES ('MAIZ01');
)";

// Loads `path` with the allocation `n` failing; true when the failure happened.
bool LoadFailingAt(const std::string &path, long n) {
  g_failed = false;
  g_allocations_left = n;
  try {
    const ReferenceData data = LoadReferenceData(path);
    g_allocations_left = -1;
    EXPECT_EQ(data.definitions.size(), 4u) << "allocation " << n;
  } catch (const ReferenceDataError &error) {
    g_allocations_left = -1;
    EXPECT_TRUE(g_failed) << error.what();
    EXPECT_EQ(std::string(error.what()),
              "No se puede cargar la base de datos de referencia \"" + path +
                  "\": no hay memoria suficiente")
        << "allocation " << n;
  }
  g_allocations_left = -1;
  return g_failed;
}

TEST(LoadOutOfMemory, EveryFailingAllocationEndsInARefusal) {
  const testing::TempDir dir;
  const testing::TempDir temporary; // where a WAL database's private copy goes
  ASSERT_EQ(setenv("TMPDIR", temporary.path().c_str(), 1), 0);
  const std::string plain = testing::MakeDatabase(dir, std::string(testing::kEmptySchemaSql) + kRows);
  const std::string wal = testing::MakeDatabase(
      dir, std::string(testing::kEmptySchemaSql) + kRows + "PRAGMA journal_mode=WAL;", "wal.db");
  ASSERT_EQ(testing::ReadBytes(wal).at(18), 2) << "the header of a database in WAL mode";
  for (const std::string &path : {plain, wal}) {
    SCOPED_TRACE(path);
    long n = 0;
    while (LoadFailingAt(path, n)) {
      ++n;
    }
    EXPECT_GT(n, 50) << "allocations of a whole load";
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
  }
  unsetenv("TMPDIR");
}

} // namespace
} // namespace verdalia
