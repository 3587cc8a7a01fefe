-- Rows without end, each a sound definition.
DROP TABLE DefArchivo;
CREATE VIEW DefArchivo AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n)
  SELECT 1 AS TipoArchivo, '2' AS TipoRegistro, x AS Sec, 'CAMPO' AS Campo, 1 AS PosicionInicial,
         1 AS Largo, 'N' AS Tipo, NULL AS DECIMALES, 'S' AS Obligatorio, NULL AS ValoresValidos,
         NULL AS ErrorFisico FROM n;
