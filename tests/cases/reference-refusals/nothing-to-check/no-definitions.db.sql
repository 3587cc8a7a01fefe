DELETE FROM DefArchivo;
