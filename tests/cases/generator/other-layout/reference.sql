-- Another installation's layout of claim notices: other fields, rules and line length.
DELETE FROM DefArchivo WHERE TipoArchivo = 2;
UPDATE TipoArchivo SET LargoFila = 90 WHERE TipoArchivo = 2;
DELETE FROM COMUNA WHERE COD_COMUNA <> '13101';
INSERT INTO DefArchivo VALUES
  (2,'1',1,'TIPO_REGISTRO',1,1,'N',0,'S','1#',NULL), (2,'1',2,'FECHA_CIERRE',2,8,'FE',0,'S','SI_ES:00000000',NULL),
  (2,'1',3,'RUT_ASEGURADORA',10,9,'RUT',0,'S','SI_ES:0','x'), (2,'1',4,'VER_ASEGURADORA',19,1,'DV',0,'S','SI_ES:BLANCO','x'),
  (2,'1',5,'ASEGURADORA',20,70,'T',0,'S','SI_ES:BLANCO','x'), (2,'1',6,'VERSION',90,1,'N',0,'S','7#','x'),
  (2,'2',1,'TIPO_REGISTRO',1,1,'N',0,'S','2#','x'), (2,'2',3,'ZONA',2,2,'N',0,'S','10#20#','x'),
  (2,'2',2,'CLASE',4,2,'T',0,'S','AB#CD#','x'), (2,'2',4,'MONTO',6,9,'D',3,'S','SI_ES:0','x'),
  (2,'2',5,'CODIGO',15,4,'T',0,'N','SI_ES:BLANCOoCero','x'), (2,'2',6,'REFERENCIA',19,10,'T',0,'S',NULL,'x'),
  (2,'2',7,'RUT_TERCERO',29,9,'RUT',0,'S','SI_ES:0','x'), (2,'2',8,'VER_TERCERO',38,1,'DV',0,'S',NULL,'x'),
  (2,'2',9,'MARCAS',39,6,'T',0,'S','SI_NO_ES:0o1','x'), (2,'2',10,'FECHA_HECHO',45,8,'FE',0,'S','SI_ES:00000000','x'),
  (2,'2',11,'UNIDADES',53,5,'N',0,'S','SI_ES:0','x'), (2,'2',12,'FILLER',58,33,'FIL',0,'N',NULL,'x'),
  (2,'3',1,'TIPO_REGISTRO',1,1,'N',0,'S','3#','x'), (2,'3',2,'TOTAL_REGISTROS',2,6,'N',0,'S',NULL,'x'),
  (2,'3',3,'LOTE',8,3,'N',0,'S','SI_ES:0','x'), (2,'3',4,'FILLER',11,80,'FIL',0,'N',NULL,'x');
