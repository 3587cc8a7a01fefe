INSERT INTO DefArchivo VALUES (1,'4',1,'total_registros',2,6,'N',NULL,NULL,NULL,'P');
