-- No field definition that checks anything (a field of an unknown type stands in each kind,
-- as start-up refuses a kind without definitions): every file reaches the logical rules.
DELETE FROM DefArchivo;
INSERT INTO DefArchivo (TipoArchivo, TipoRegistro, Sec, Campo, PosicionInicial, Largo, Tipo)
  VALUES (1, '2', 1, 'SIN_REVISAR', 1, 1, 'X'), (2, '2', 1, 'SIN_REVISAR', 1, 1, 'X'),
         (3, '2', 1, 'SIN_REVISAR', 1, 1, 'X');
