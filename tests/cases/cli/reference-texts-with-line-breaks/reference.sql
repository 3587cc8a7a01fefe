-- A field name with a TAB and a message with a line break, as an edited database may hold.
INSERT INTO DefArchivo (TipoArchivo, TipoRegistro, Sec, Campo, PosicionInicial, Largo, Tipo, DECIMALES, Obligatorio, ValoresValidos, ErrorFisico)
VALUES (2, '2', 1, 'CAMPO' || char(9) || 'UNO', 2, 3, 'N', NULL, 'N', '1#', 'Error.' || char(13) || char(10) || 'Dos líneas' || char(10));
