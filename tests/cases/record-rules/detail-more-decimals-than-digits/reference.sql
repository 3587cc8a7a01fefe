INSERT INTO DefArchivo VALUES (1,'2',1,'F',8,2,'D',5,NULL,'SI_ES:0.12','P');
