INSERT INTO DefArchivo VALUES (1,'2',1,'F',8,2,'n',NULL,NULL,'10#20#','P');
