-- Line lengths of 10 and no field definition that checks anything (a field of an unknown
-- type stands in each kind, as start-up refuses a kind without definitions): a run reports
-- only its own structure and period rows.
DELETE FROM DefArchivo;
INSERT INTO DefArchivo (TipoArchivo, TipoRegistro, Sec, Campo, PosicionInicial, Largo, Tipo)
  VALUES (1, '2', 1, 'SIN_REVISAR', 1, 1, 'X'), (2, '2', 1, 'SIN_REVISAR', 1, 1, 'X'),
         (3, '2', 1, 'SIN_REVISAR', 1, 1, 'X');
UPDATE TipoArchivo SET LargoFila = 10;
