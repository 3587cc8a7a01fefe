DROP TABLE DefArchivo;
