-- Production items without definitions, a notice field of a type no check knows beside one
-- whose known type is written in lower case, and claims without a line length.
DELETE FROM DefArchivo WHERE TipoArchivo = 1 AND TipoRegistro = '3';
UPDATE DefArchivo SET Tipo = 'ZZ' WHERE TipoArchivo = 2 AND TipoRegistro = '2' AND Sec = 6;
UPDATE DefArchivo SET Tipo = 'rut' WHERE TipoArchivo = 2 AND TipoRegistro = '2' AND Sec = 3;
DELETE FROM TipoArchivo WHERE TipoArchivo = 3;
