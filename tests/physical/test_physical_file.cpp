#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "engine/session.h"
#include "support/fixtures.h"

namespace verdalia {
namespace {

// A production file of 20 characters a line, every record with findings, and definitions
// stored out of Sec order: the list must come out record by record, each in Sec order.
TEST(PhysicalFile, RowsComeOutRecordByRecordInSecOrder) {
  const std::string sql = R"(BEGIN;
INSERT INTO TipoArchivo VALUES (1, 'Produccion', 20);
INSERT INTO DefArchivo (TipoArchivo, TipoRegistro, Sec, Campo, PosicionInicial, Largo, Tipo,
  DECIMALES, Obligatorio, ValoresValidos, ErrorFisico) VALUES
  (1,'1',4,'ASEGURADORA',19,2,'T',NULL,NULL,'SI_ES:BLANCO','Falta nombre'),
  (1,'1',3,'VER_ASEGURADORA',18,1,'DV',NULL,NULL,NULL,'P'),
  (1,'1',2,'RUT_ASEGURADORA',10,8,'RUT',NULL,NULL,'SI_ES:0','Rut cero'),
  (1,'1',1,'FECHA_CIERRE',2,8,'FE',NULL,NULL,NULL,'P'),
  (1,'2',2,'MONTO',2,3,'N',NULL,NULL,'SI_ES:0','Monto cero'),
  (1,'2',1,'NOMBRE',5,16,'T',NULL,'S',NULL,'Falta nombre'),
  (1,'3',1,'RELLENO',2,19,'FIL',NULL,NULL,NULL,'Relleno no blanco'),
  (1,'4',2,'RELLENO',7,14,'FIL',NULL,NULL,NULL,'Relleno no blanco'),
  (1,'4',1,'TOTAL_REGISTROS',2,5,'N',NULL,NULL,NULL,'P');
COMMIT;)";
  Session session(testing::LoadFromSql(sql));
  const testing::TempDir dir;
  dir.Write("P202401.txt", "120240131123456784ab\r\n"
                           "212Anombre          \r\n"
                           "2000                \r\n"
                           "3X                  \r\n"
                           "400004              \r\n");

  const RunOutcome outcome = session.RunPhysical(dir.path().string(), "P202401.txt");

  std::vector<std::string> rows;
  for (const ResultRow &row : session.PhysicalList()) {
    rows.push_back(std::to_string(row.record) + " " + row.field + ": " +
                   Windows1252ToUtf8(row.message));
  }
  const std::vector<std::string> expected = {
      "1 VER_ASEGURADORA: Error.Dígito verificador no corresponde",
      "1 ASEGURADORA: Error.Caracter no válido en variable alfanumérica",
      "2 NOMBRE: Error.Caracter no válido en variable alfanumérica",
      "2 MONTO: Error.Carácter no válido en variable numérica",
      "3 NOMBRE: Falta nombre",
      "3 MONTO: Monto cero",
      "4 RELLENO: Relleno no blanco",
      "5 TOTAL_REGISTROS: Error. No concuerda con el número total de registros del archivo",
  };
  EXPECT_EQ(rows, expected);
  EXPECT_FALSE(outcome.logical_enabled);
  for (const SummaryLabels &labels :
       {session.lblValidacionFisica(), session.lblValidacionLogica()}) {
    EXPECT_EQ(labels[1], "12345678-4");
    EXPECT_EQ(labels[2], "ab");
  }
}

} // namespace
} // namespace verdalia
