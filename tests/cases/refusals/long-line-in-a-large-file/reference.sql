UPDATE TipoArchivo SET LargoFila = 1;
