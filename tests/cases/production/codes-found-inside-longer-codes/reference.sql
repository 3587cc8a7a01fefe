-- Two codes longer than the others; the shorter codes at their ends are not listed.
INSERT INTO COMUNA VALUES ('9999901', 'COMUNA DE PRUEBA');
INSERT INTO CULTIVO VALUES ('XTRIG99', 'CULTIVO DE PRUEBA');
