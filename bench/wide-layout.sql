-- A wide layout for the benchmark, run after the shipped database's source: lines of 460
-- (production), 420 (claim notices) and 440 (claims) characters, and a field every two or
-- three columns. The fields the logical rules, the labels and the generator read by name
-- stay where they are; every other span (names, fillers, the new columns) is cut into short
-- fields from a cycle of patterns that puts every field type and value rule to work, lower-case
-- types and an unknown type included. verdalia-gen writes files that pass both
-- verifications under it.
UPDATE TipoArchivo SET LargoFila = CASE TipoArchivo WHEN 1 THEN 460 WHEN 2 THEN 420 ELSE 440 END;

-- The fields kept, numbered by position: Sec is the start column throughout.
DELETE FROM DefArchivo WHERE Campo IN ('FILLER', 'A_P_ASEGURADO', 'A_M_ASEGURADO',
  'NOMBRE_ASEGURADO', 'A_P_CONTRATANTE', 'A_M_CONTRATANTE', 'NOMBRE_CONTRATANTE', 'NOMBRE_PREDIO',
  'ROL_PREDIO', 'COD_COMUNA_PREDIO', 'TIPO_RIEGO', 'FECHA_SIEMBRA', 'NOMBRE_LIQUIDADOR')
  OR (TipoArchivo = 2 AND TipoRegistro = '2' AND Campo IN ('COD_CULTIVO', 'SUPERFICIE_AFECTADA'));
UPDATE DefArchivo SET Sec = PosicionInicial;

-- Patterns of short fields, used in turn. "detalle" fills spans the logical rules read (the
-- party names of a policy are compared as they stand, so no random identity number there);
-- "detalle_rut" adds an identity number with its check digit; the header and the control
-- record have rules of their own, and get patterns their rules accept.
CREATE TEMP TABLE Molde (Cual TEXT, Orden INTEGER, Tipo TEXT, Largo INTEGER, DECIMALES INTEGER,
                         Obligatorio TEXT, ValoresValidos TEXT, Ciclo INTEGER);
INSERT INTO Molde (Cual, Orden, Tipo, Largo, DECIMALES, Obligatorio, ValoresValidos) VALUES
 ('detalle', 0, 'N', 1, 0, 'N', NULL),
 ('detalle', 1, 'T', 2, 0, 'N', NULL),
 ('detalle', 2, 'D', 2, 1, 'S', 'SI_ES:0'),
 ('detalle', 3, 'T', 1, 0, 'S', 'A#B#'),
 ('detalle', 4, 'N', 1, 0, 'S', '1#2#3#'),
 ('detalle', 5, 'FE', 8, 0, 'S', 'SI_ES:00000000'),
 ('detalle', 6, 'T', 2, 0, 'N', 'SI_ES:BLANCO'),
 ('detalle', 7, 'FIL', 1, 0, 'N', NULL),
 ('detalle', 8, 'T', 1, 0, 'S', 'SI_ES:BLANCOoCero'),
 ('detalle', 9, 'T', 3, 0, 'S', 'SI_NO_ES:0o1'),
 ('detalle', 10, 'n', 1, 0, 'S', 'SI_ES:7'),
 ('detalle', 11, 'X', 1, 0, 'N', NULL),
 ('detalle', 12, 't', 3, 0, 's', 'AB#CD#'),
 ('detalle', 13, 'D', 3, 2, 'N', 'SI_ES:1.5'),
 ('detalle', 14, 'T', 1, 0, 'S', NULL),
 ('detalle', 15, 'N', 2, 0, 'N', '00#10#20#'),
 ('detalle', 16, 'FE', 8, 0, 'N', NULL),
 ('detalle', 17, 'D', 2, 1, 'N', NULL);
INSERT INTO Molde SELECT 'detalle_rut', Orden, Tipo, Largo, DECIMALES, Obligatorio, ValoresValidos, NULL
  FROM Molde WHERE Cual = 'detalle' AND Orden < 9;
INSERT INTO Molde (Cual, Orden, Tipo, Largo, DECIMALES, Obligatorio, ValoresValidos) VALUES
 ('detalle_rut', 9, 'RUT', 9, 0, 'S', 'SI_ES:0'),
 ('detalle_rut', 10, 'DV', 1, 0, 'S', NULL);
INSERT INTO Molde SELECT 'detalle_rut', Orden + 2, Tipo, Largo, DECIMALES, Obligatorio, ValoresValidos, NULL
  FROM Molde WHERE Cual = 'detalle' AND Orden >= 9;
INSERT INTO Molde (Cual, Orden, Tipo, Largo, DECIMALES, Obligatorio, ValoresValidos) VALUES
 ('encabezado', 0, 'N', 1, 0, 'S', NULL),
 ('encabezado', 1, 'N', 2, 0, 'S', '12#34#'),
 ('encabezado', 2, 'T', 2, 0, 'N', NULL),
 ('encabezado', 3, 'T', 2, 0, 'S', 'SI_ES:BLANCO'),
 ('encabezado', 4, 'FE', 8, 0, 'N', NULL),
 ('encabezado', 5, 'FE', 8, 0, 'S', 'SI_ES:00000000'),
 ('encabezado', 6, 'RUT', 9, 0, 'S', 'SI_ES:0'),
 ('encabezado', 7, 'DV', 1, 0, 'S', 'SI_ES:BLANCO'),
 ('encabezado', 8, 'FIL', 2, 0, 'N', NULL),
 ('encabezado', 9, 'X', 1, 0, 'N', NULL),
 ('encabezado', 10, 'D', 3, 2, 'N', NULL),
 ('control', 0, 'N', 1, 0, 'S', NULL),
 ('control', 1, 'N', 2, 0, 'S', 'SI_ES:0'),
 ('control', 2, 'N', 2, 0, 'S', '12#34#'),
 ('control', 3, 'D', 3, 1, 'S', 'SI_ES:0'),
 ('control', 4, 'FE', 8, 0, 'N', NULL),
 ('control', 5, 'RUT', 9, 0, 'S', NULL),
 ('control', 6, 'DV', 1, 0, 'S', NULL),
 ('control', 7, 'T', 2, 0, 'S', NULL),
 ('control', 8, 'T', 2, 0, 'N', NULL),
 ('control', 9, 'FIL', 2, 0, 'N', NULL),
 ('control', 10, 'X', 1, 0, 'N', NULL);
UPDATE Molde SET Ciclo = (SELECT COUNT(*) FROM Molde m WHERE m.Cual = Molde.Cual);

-- The spans to fill, first and last column, and the patterns of each.
CREATE TEMP TABLE Tramo (TipoArchivo INTEGER, TipoRegistro TEXT, Desde INTEGER, Hasta INTEGER,
                         Cual TEXT);
INSERT INTO Tramo VALUES
 (1, '1', 100, 460, 'encabezado'),
 (1, '2', 81, 200, 'detalle'),
 (1, '2', 211, 330, 'detalle'),
 (1, '2', 387, 460, 'detalle_rut'),
 (1, '3', 21, 165, 'detalle_rut'),
 (1, '3', 194, 460, 'detalle_rut'),
 (1, '4', 53, 460, 'control'),
 (2, '1', 100, 420, 'encabezado'),
 (2, '2', 83, 420, 'detalle_rut'),
 (2, '3', 23, 420, 'control'),
 (3, '1', 100, 440, 'encabezado'),
 (3, '2', 87, 440, 'detalle_rut'),
 (3, '3', 49, 50, 'detalle'),
 (3, '3', 85, 440, 'detalle_rut'),
 (3, '4', 44, 440, 'control');

-- Each span takes the patterns in turn from its first column; the pattern that would run
-- past the span's end becomes a filler of the columns left.
WITH RECURSIVE Relleno (TipoArchivo, TipoRegistro, Pos, Hasta, Cual, Orden) AS (
  SELECT TipoArchivo, TipoRegistro, Desde, Hasta, Cual, 0 FROM Tramo
  UNION ALL
  SELECT r.TipoArchivo, r.TipoRegistro, r.Pos + m.Largo, r.Hasta, r.Cual, (r.Orden + 1) % m.Ciclo
  FROM Relleno r JOIN Molde m ON m.Cual = r.Cual AND m.Orden = r.Orden
  WHERE r.Pos + m.Largo <= r.Hasta)
INSERT INTO DefArchivo
SELECT r.TipoArchivo, r.TipoRegistro, r.Pos,
       CASE WHEN r.Pos + m.Largo - 1 > r.Hasta OR m.Tipo = 'FIL' THEN 'FILLER'
            ELSE 'CAMPO_' || r.Pos END,
       r.Pos,
       MIN(m.Largo, r.Hasta - r.Pos + 1),
       CASE WHEN r.Pos + m.Largo - 1 > r.Hasta THEN 'FIL' ELSE m.Tipo END,
       m.DECIMALES, m.Obligatorio,
       CASE WHEN r.Pos + m.Largo - 1 > r.Hasta THEN NULL ELSE m.ValoresValidos END,
       'Error. Campo de la columna ' || r.Pos || ' no es válido.'
FROM Relleno r JOIN Molde m ON m.Cual = r.Cual AND m.Orden = r.Orden;
