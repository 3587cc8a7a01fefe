-- Record types no claims file holds: no filter ever selects them.
UPDATE DefArchivo SET TipoRegistro = '5' WHERE TipoArchivo = 3;
