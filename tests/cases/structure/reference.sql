-- Line lengths of 10 and no field definitions: a run reports only its own structure and period rows.
DELETE FROM DefArchivo;
UPDATE TipoArchivo SET LargoFila = 10;
