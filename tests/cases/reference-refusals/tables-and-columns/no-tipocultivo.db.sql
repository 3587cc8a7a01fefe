DROP TABLE TipoCultivoUniFisc;
