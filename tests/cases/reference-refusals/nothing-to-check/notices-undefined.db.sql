DELETE FROM DefArchivo WHERE TipoArchivo = 2;
