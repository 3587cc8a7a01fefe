INSERT INTO DefArchivo VALUES (1,'1',1,'F',8,1,'N',NULL,NULL,'','P');
INSERT INTO DefArchivo VALUES (1,'2',1,'F',8,1,'N',NULL,NULL,'','P');
INSERT INTO DefArchivo VALUES (1,'4',1,'F',8,1,'N',NULL,NULL,'','P');
