-- One value of 300 MB.
DROP TABLE TipoCultivoUniFisc;
CREATE VIEW TipoCultivoUniFisc AS SELECT randomblob(300000000) AS COD_CULTIVO;
