INSERT INTO DefArchivo VALUES (1,'2',1,'numero_endoso',8,2,'N',NULL,NULL,'1#','P');
