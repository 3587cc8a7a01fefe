UPDATE TipoArchivo SET LargoFila = 'abc' WHERE TipoArchivo = 1;
