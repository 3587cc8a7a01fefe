-- Codes without end, which the query sorts before it gives the first.
DROP TABLE COMUNA;
CREATE VIEW COMUNA AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n)
  SELECT printf('%05d', x % 100000) AS COD_COMUNA FROM n;
