UPDATE TipoArchivo SET LargoFila = -1 WHERE TipoArchivo = 2;
