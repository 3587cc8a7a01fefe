UPDATE DefArchivo SET Tipo = 'X' WHERE TipoArchivo = 2 AND TipoRegistro = '3';
