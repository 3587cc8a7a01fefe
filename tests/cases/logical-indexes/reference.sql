-- No field definitions: every file reaches the logical rules.
DELETE FROM DefArchivo;
