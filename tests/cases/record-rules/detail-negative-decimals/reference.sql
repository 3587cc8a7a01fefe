INSERT INTO DefArchivo VALUES (1,'2',1,'F',8,2,'D',-1,NULL,'SI_ES:12','P');
