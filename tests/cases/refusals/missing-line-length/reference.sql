DELETE FROM TipoArchivo WHERE TipoArchivo = 2;
