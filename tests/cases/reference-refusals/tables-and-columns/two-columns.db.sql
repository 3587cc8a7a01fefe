DROP TABLE TipoArchivo; CREATE TABLE TipoArchivo (TipoArchivo INTEGER, Descripcion TEXT);
