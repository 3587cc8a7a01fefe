INSERT INTO DefArchivo VALUES (1,'2',1,'F',8,3,'T',NULL,'s',NULL,'P');
