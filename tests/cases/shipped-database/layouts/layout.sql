-- Each query prints what is wrong with the shipped reference data; the case expects the
-- headings alone.
.headers off
-- The type codes the program knows, and whether their values carry implied decimals, as its
-- type table writes them (types.csv, cut out of field_types.def by the case).
CREATE TEMP TABLE FieldType(code TEXT, decimals TEXT);
.import --csv --schema temp types.csv FieldType
SELECT '-- fields that leave a gap or overlap, or do not end at the line length';
SELECT d.TipoArchivo, d.TipoRegistro, d.Campo FROM (
  SELECT *, COALESCE(LAG(PosicionInicial + Largo) OVER w, 1) AS expected,
         LEAD(Sec) OVER w IS NULL AS last FROM DefArchivo
  WINDOW w AS (PARTITION BY TipoArchivo, TipoRegistro ORDER BY Sec)) d
JOIN TipoArchivo t USING (TipoArchivo)
WHERE d.PosicionInicial <> d.expected OR d.Largo < 1
   OR (d.last AND d.PosicionInicial + d.Largo - 1 <> t.LargoFila);
SELECT '-- record types without fields';
SELECT * FROM (VALUES (1,'1'),(1,'2'),(1,'3'),(1,'4'),(2,'1'),(2,'2'),(2,'3'),(3,'1'),(3,'2'),(3,'3'),(3,'4')) r
WHERE NOT EXISTS (SELECT 1 FROM DefArchivo WHERE TipoArchivo = r.column1 AND TipoRegistro = r.column2);
SELECT '-- a DV not right after its RUT, a RUT without its DV, endorsement dates before TIPO_INFORMACION';
SELECT TipoArchivo, TipoRegistro, Campo FROM (
  SELECT *, LAG(Tipo) OVER w AS before, LEAD(Tipo) OVER w AS after,
         MIN(CASE WHEN Campo = 'TIPO_INFORMACION' THEN Sec END) OVER (PARTITION BY TipoArchivo, TipoRegistro) AS info
  FROM DefArchivo WINDOW w AS (PARTITION BY TipoArchivo, TipoRegistro ORDER BY Sec))
WHERE (Tipo = 'DV' AND before IS NOT 'RUT') OR (Tipo = 'RUT' AND after IS NOT 'DV')
   OR (Campo IN ('FECHA_POLIZA_ENDOSO', 'FECHA_VIGENCIA_ENDOSO') AND (info IS NULL OR info > Sec));
SELECT '-- names, types, decimals, obligation and messages out of form; Sec repeated';
SELECT TipoArchivo, TipoRegistro, Campo FROM DefArchivo
WHERE Campo NOT GLOB '[A-Z]*' OR Campo GLOB '*[^A-Z0-9_]*' OR Tipo NOT IN (SELECT code FROM FieldType)
   OR (Tipo IN (SELECT code FROM FieldType WHERE decimals = 'Implied')
       AND NOT (DECIMALES > 0 AND DECIMALES < Largo)) OR Obligatorio NOT IN ('S','N')
   OR ErrorFisico NOT LIKE 'Error. %' OR (Campo = 'FILLER') <> (Tipo = 'FIL') OR Sec IS NULL
   OR (SELECT COUNT(*) FROM DefArchivo o WHERE o.TipoArchivo = DefArchivo.TipoArchivo
       AND o.TipoRegistro = DefArchivo.TipoRegistro AND o.Sec = DefArchivo.Sec) > 1;
SELECT '-- control records without one numeric TOTAL_REGISTROS wide enough for 32767';
SELECT * FROM (VALUES (1,'4'),(2,'3'),(3,'4')) r WHERE (SELECT COUNT(*) FROM DefArchivo
  WHERE TipoArchivo = r.column1 AND TipoRegistro = r.column2 AND Campo = 'TOTAL_REGISTROS'
  AND Tipo = 'N' AND Largo >= 5) <> 1;
SELECT '-- fields the logical rules and the labels read, where they do not read them';
SELECT f.* FROM (VALUES
  (1,'1','FECHA_CIERRE',2,8,'FE',0), (1,'1','RUT_ASEGURADORA',10,9,'RUT',0), (1,'1','VER_ASEGURADORA',19,1,'DV',0),
  (1,'1','ASEGURADORA',20,80,'T',0), (2,'1','FECHA_CIERRE',2,8,'FE',0), (2,'1','RUT_ASEGURADORA',10,9,'RUT',0),
  (2,'1','VER_ASEGURADORA',19,1,'DV',0), (2,'1','ASEGURADORA',20,80,'T',0), (3,'1','FECHA_CIERRE',2,8,'FE',0),
  (3,'1','RUT_ASEGURADORA',10,9,'RUT',0), (3,'1','VER_ASEGURADORA',19,1,'DV',0), (3,'1','ASEGURADORA',20,80,'T',0),
  (1,'2','TIPO_INFORMACION',17,1,'T',0), (1,'2','NUMERO_POLIZA',18,15,'T',0), (1,'2','NIVEL_COBERTURA',33,3,'D',2),
  (1,'2','NUMERO_ENDOSO',36,11,'N',0), (1,'2','FECHA_VIGENCIA_INICIAL',47,8,'FE',0),
  (1,'2','FECHA_VIGENCIA_FINAL',55,8,'FE',0), (1,'2','RUT_ASEGURADO',71,9,'RUT',0), (1,'2','VER_ASEGURADO',80,1,'DV',0),
  (1,'2','A_P_ASEGURADO',81,30,'T',0), (1,'2','A_M_ASEGURADO',111,30,'T',0), (1,'2','NOMBRE_ASEGURADO',141,60,'T',0),
  (1,'2','RUT_CONTRATANTE',201,9,'RUT',0), (1,'2','VER_CONTRATANTE',210,1,'DV',0),
  (1,'2','A_P_CONTRATANTE',211,30,'T',0), (1,'2','A_M_CONTRATANTE',241,30,'T',0),
  (1,'2','NOMBRE_CONTRATANTE',271,60,'T',0), (1,'2','COD_COMUNA',331,5,'N',0), (1,'2','COD_CULTIVO',336,6,'T',0),
  (1,'2','PRECIO_UNITARIO',349,7,'D',4), (1,'2','TASA_PRIMA',356,4,'D',2), (1,'2','PRIMA_FIJA',360,6,'D',2),
  (1,'2','MONTO_ASEGURADO',366,7,'D',2), (1,'2','PRIMA_NETA',373,6,'D',2), (1,'3','NUMERO_POLIZA',2,15,'T',0),
  (1,'3','NUMERO_ITEM',17,4,'N',0), (1,'3','RENDIMIENTO_ASEGURADO',166,7,'D',2),
  (1,'3','SUPERFICIE_ASEGURADA',173,8,'D',2), (1,'3','NUMERO_ENDOSO',181,11,'N',0), (1,'3','TIPO_ENDOSO',192,2,'T',0),
  (2,'2','NUMERO_SINIESTRO',2,15,'T',0), (2,'2','NUMERO_POLIZA',32,15,'T',0), (2,'2','FECHA_DECLARACION',47,8,'FE',0),
  (2,'2','FECHA_OCURRENCIA',55,8,'FE',0), (2,'2','CAUSA_SINIESTRO',63,6,'T',0), (2,'2','PROVISION',69,14,'D',2),
  (3,'2','ESTADO_SINIESTRO',2,1,'T',0), (3,'2','NUMERO_POLIZA',3,15,'T',0), (3,'2','NUMERO_SINIESTRO',18,15,'T',0),
  (3,'2','FECHA_DECLARACION',33,8,'FE',0), (3,'2','FECHA_OCURRENCIA',41,8,'FE',0), (3,'2','FECHA_INFORME',49,8,'FE',0),
  (3,'2','CAUSA_SINIESTRO',57,6,'T',0), (3,'2','GASTOS_SINIESTRO',63,14,'D',2), (3,'3','NUMERO_POLIZA',2,15,'T',0),
  (3,'3','NUMERO_SINIESTRO',17,15,'T',0), (3,'3','NUMERO_ITEM',32,4,'N',0), (3,'3','TIPO_PERDIDA',51,1,'T',0),
  (3,'3','INDEMNIZACION',52,14,'N',0), (3,'3','TIPO_INDEMNIZACION',66,1,'T',0), (3,'3','PRODUCCION_REAL',67,10,'N',0)) f
WHERE (SELECT COUNT(*) FROM DefArchivo d WHERE d.TipoArchivo = f.column1 AND d.TipoRegistro = f.column2
       AND d.Campo = f.column3 AND d.PosicionInicial = f.column4 AND d.Largo = f.column5 AND d.Tipo = f.column6
       AND (f.column7 = 0 OR d.DECIMALES = f.column7)) <> 1;
SELECT '-- value rules the logical rules rely on (Null where the logical rules report the value missing)';
SELECT r.* FROM (VALUES (1,'2','TIPO_INFORMACION','P#E#'), (1,'3','TIPO_ENDOSO','  #C #CA#D #A #RE#'),
  (1,'2','RUT_ASEGURADO','SI_ES:0'), (1,'2','RUT_CONTRATANTE','SI_ES:0'), (2,'2','RUT_ASEGURADO','SI_ES:0'),
  (2,'2','CAUSA_SINIESTRO','SI_NO_ES:0o1'), (3,'2','CAUSA_SINIESTRO','SI_NO_ES:0o1'), (3,'2','ESTADO_SINIESTRO','A#R#E#'),
  (3,'3','TIPO_PERDIDA','P#T#X#'), (3,'3','TIPO_INDEMNIZACION','M#C#X#'), (2,'2','PROVISION',NULL),
  (3,'2','FECHA_INFORME',NULL), (3,'2','GASTOS_SINIESTRO',NULL)) r
WHERE NOT EXISTS (SELECT 1 FROM DefArchivo d WHERE d.TipoArchivo = r.column1 AND d.TipoRegistro = r.column2
                  AND d.Campo = r.column3 AND d.ValoresValidos IS r.column4);
SELECT '-- codes: communes of five digits from 16 regions, crops of six capitals or digits, each with its unit, region and zone';
SELECT COUNT(*), COUNT(DISTINCT COD_COMUNA), COUNT(DISTINCT substr(COD_COMUNA, 1, 2)) FROM COMUNA;
SELECT COD_COMUNA FROM COMUNA WHERE COD_COMUNA NOT GLOB '[0-9][0-9][0-9][0-9][0-9]'
  OR COD_COMUNA IN ('08401') OR NOT EXISTS (SELECT 1 FROM RegionComunaZHS r WHERE r.COD_COMUNA = COMUNA.COD_COMUNA
  AND r.COD_REGION = substr(COMUNA.COD_COMUNA, 1, 2) AND r.ZONA_HOMOGENEA <> '');
SELECT column1 FROM (VALUES ('01101'), ('13101'), ('05109'), ('16101'), ('16305'), ('12402'))
  WHERE column1 NOT IN (SELECT COD_COMUNA FROM COMUNA);
SELECT COUNT(*) >= 40 FROM CULTIVO;
SELECT COD_CULTIVO FROM CULTIVO WHERE length(COD_CULTIVO) <> 6 OR COD_CULTIVO GLOB '*[^A-Z0-9]*'
  OR NOT EXISTS (SELECT 1 FROM TipoCultivoUniFisc u WHERE u.COD_CULTIVO = CULTIVO.COD_CULTIVO
                 AND u.UNIDAD_FISICA IN ('QQ', 'KG', 'TN'));
SELECT COUNT(*) FROM RegionComunaZHS;
