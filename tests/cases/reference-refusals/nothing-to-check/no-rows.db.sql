DELETE FROM DefArchivo; DELETE FROM TipoArchivo;
