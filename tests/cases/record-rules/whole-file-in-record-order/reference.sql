INSERT INTO DefArchivo VALUES
  (1,'1',4,'ASEGURADORA',19,2,'T',NULL,NULL,'SI_ES:BLANCO','Falta nombre'),
  (1,'1',3,'VER_ASEGURADORA',18,1,'DV',NULL,NULL,NULL,'P'),
  (1,'1',2,'RUT_ASEGURADORA',10,8,'RUT',NULL,NULL,'SI_ES:0','Rut cero'),
  (1,'1',1,'FECHA_CIERRE',2,8,'FE',NULL,NULL,NULL,'P'),
  (1,'2',2,'MONTO',2,3,'N',NULL,NULL,'SI_ES:0','Monto cero'),
  (1,'2',1,'NOMBRE',5,16,'T',NULL,'S',NULL,'Falta nombre'),
  (1,'3',1,'RELLENO',2,19,'FIL',NULL,NULL,NULL,'Relleno no blanco'),
  (1,'4',2,'RELLENO',7,14,'FIL',NULL,NULL,NULL,'Relleno no blanco'),
  (1,'4',1,'TOTAL_REGISTROS',2,5,'N',NULL,NULL,NULL,'P');
