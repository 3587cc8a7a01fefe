-- Production lines of 30 characters and no field definitions of production files: each
-- case adds its own.
DELETE FROM DefArchivo WHERE TipoArchivo = 1;
UPDATE TipoArchivo SET LargoFila = 30 WHERE TipoArchivo = 1;
