-- The claim notices are left without field definitions, so that values the
-- field checks refuse (blank dates, letters in provisions, causes other than 0 and 1)
-- still reach the logical rules. Header and control records keep theirs.
DELETE FROM DefArchivo WHERE TipoArchivo = 2 AND TipoRegistro = '2';
