DELETE FROM DefArchivo WHERE TipoRegistro <> '1';
