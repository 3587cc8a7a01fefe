INSERT INTO DefArchivo VALUES (1,'2',1,'TEX' || char(27) || 'TO"',2,9,'T',NULL,NULL,NULL,'P');
