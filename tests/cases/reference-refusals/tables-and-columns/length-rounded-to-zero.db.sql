UPDATE TipoArchivo SET LargoFila = 0.4 WHERE TipoArchivo = 3;
