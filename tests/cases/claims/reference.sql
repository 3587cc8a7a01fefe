-- The claim and claim detail records are left without field definitions, so that values the
-- field checks refuse (blank report dates, letters in expenses, negative indemnities)
-- still reach the logical rules. Header and control records keep theirs.
DELETE FROM DefArchivo WHERE TipoArchivo = 3 AND TipoRegistro IN ('2', '3');
