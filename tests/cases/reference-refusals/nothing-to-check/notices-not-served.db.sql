-- Neither definitions nor a line length: every notices file is refused at its first line.
DELETE FROM DefArchivo WHERE TipoArchivo = 2; DELETE FROM TipoArchivo WHERE TipoArchivo = 2;
