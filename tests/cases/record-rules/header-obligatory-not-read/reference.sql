INSERT INTO DefArchivo VALUES (1,'1',1,'F',8,3,'T',NULL,'S',NULL,'P');
