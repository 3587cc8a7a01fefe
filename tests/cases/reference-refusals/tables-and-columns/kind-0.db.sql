INSERT INTO TipoArchivo VALUES (0, 'X', 10);
