-- The policy and item records are left without field definitions, so that values the
-- field checks refuse (coverage 000, blank premiums, letters in amounts)
-- still reach the logical rules. Header and control records keep theirs.
DELETE FROM DefArchivo WHERE TipoArchivo = 1 AND TipoRegistro IN ('2', '3');
