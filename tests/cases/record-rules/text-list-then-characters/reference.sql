INSERT INTO DefArchivo VALUES (1,'2',1,'F',8,2,'T',NULL,NULL,'X#','P');
