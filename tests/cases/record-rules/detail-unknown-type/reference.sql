INSERT INTO DefArchivo VALUES (1,'2',1,'F',8,3,'Z',NULL,NULL,'1#','P');
