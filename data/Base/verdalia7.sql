-- Reference database of Verdalia (placeholder layout; the full layouts follow).
CREATE TABLE TipoArchivo (TipoArchivo INTEGER PRIMARY KEY, Descripcion TEXT, LargoFila INTEGER);
CREATE TABLE DefArchivo (
  TipoArchivo INTEGER NOT NULL, TipoRegistro TEXT NOT NULL, Sec INTEGER, Campo TEXT,
  PosicionInicial INTEGER, Largo INTEGER, Tipo TEXT, DECIMALES INTEGER, Obligatorio TEXT,
  ValoresValidos TEXT, ErrorFisico TEXT);
CREATE TABLE COMUNA (COD_COMUNA TEXT PRIMARY KEY, NOMBRE_COMUNA TEXT);
CREATE TABLE CULTIVO (COD_CULTIVO TEXT PRIMARY KEY, NOMBRE_CULTIVO TEXT);
CREATE TABLE TipoCultivoUniFisc (COD_CULTIVO TEXT, UNIDAD_FISICA TEXT);
CREATE TABLE RegionComunaZHS (COD_REGION TEXT, COD_COMUNA TEXT, ZONA_HOMOGENEA TEXT);

INSERT INTO TipoArchivo VALUES (1, 'PRODUCCION', 400), (2, 'DENUNCIAS', 100), (3, 'SINIESTROS', 100);
INSERT INTO DefArchivo VALUES
 (1,'1',1,'TIPO_REGISTRO',1,1,'N',NULL,'S','1#',NULL),
 (1,'1',2,'FECHA_CIERRE',2,8,'FE',NULL,'S',NULL,NULL),
 (1,'1',3,'RUT_ASEGURADORA',10,9,'RUT',NULL,'S','SI_ES:0','Error. RUT de la aseguradora no informado'),
 (1,'1',4,'VER_ASEGURADORA',19,1,'DV',NULL,'S',NULL,NULL),
 (1,'1',5,'ASEGURADORA',20,80,'T',NULL,'S','SI_ES:BLANCO','Error. No informa nombre de la aseguradora'),
 (1,'1',6,'FILLER',100,301,'FIL',NULL,'N',NULL,'Error. Relleno debe estar en blanco'),
 (1,'4',1,'TIPO_REGISTRO',1,1,'N',NULL,'S','4#',NULL),
 (1,'4',2,'TOTAL_REGISTROS',2,7,'N',NULL,'S',NULL,NULL),
 (1,'4',3,'FILLER',9,392,'FIL',NULL,'N',NULL,'Error. Relleno debe estar en blanco');
INSERT INTO COMUNA VALUES ('13101', 'SANTIAGO');
INSERT INTO CULTIVO VALUES ('TRIGO1', 'TRIGO');
