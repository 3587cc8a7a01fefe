INSERT INTO DefArchivo VALUES (1,'2',2,'TIPO_INFORMACION',8,1,'T',NULL,NULL,NULL,'P');
INSERT INTO DefArchivo VALUES (1,'2',1,'fecha_vigencia_endoso',9,8,'FE',NULL,NULL,NULL,'P');
