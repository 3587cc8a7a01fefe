ALTER TABLE DefArchivo DROP COLUMN ErrorFisico;
