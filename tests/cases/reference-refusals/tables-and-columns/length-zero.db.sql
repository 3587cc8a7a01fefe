UPDATE TipoArchivo SET LargoFila = 0 WHERE TipoArchivo = 2;
