UPDATE TipoArchivo SET LargoFila = 40000 WHERE TipoArchivo = 1;
