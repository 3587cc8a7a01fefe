INSERT INTO TipoArchivo VALUES (4, 'X', 10);
