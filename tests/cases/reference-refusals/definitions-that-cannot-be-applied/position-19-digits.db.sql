-- A table without column types keeps a text of digits as text.
ALTER TABLE DefArchivo RENAME TO Typed;
CREATE TABLE DefArchivo (TipoArchivo, TipoRegistro, Sec, Campo, PosicionInicial, Largo, Tipo,
  DECIMALES, Obligatorio, ValoresValidos, ErrorFisico);
INSERT INTO DefArchivo SELECT * FROM Typed;
DROP TABLE Typed;
INSERT INTO DefArchivo VALUES (1,'2',7,'CAMPO_X','9999999999999999999',1,'N',NULL,NULL,NULL,NULL);
