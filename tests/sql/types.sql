-- Every SQL type as an argument: the server hands each over as its text.
CREATE TABLE typed (d DECIMAL(10,3), f FLOAT, r DOUBLE, dt DATE, dtm DATETIME(3), tm TIME,
  y YEAR, j JSON, b BIT(8), bl BLOB, e ENUM('MARTHA', 'MARHTA'), st SET('a', 'b'), u INT UNSIGNED);
INSERT INTO typed VALUES (12.5, 1.5, -2.5e-3, '2024-01-02', '2024-01-02 03:04:05.678', '12:00:00',
  2024, '{"name": "MARTHA"}', b'01100001', X'00FF23', 'MARTHA', 'a,b', 4294967295);
SELECT jaro(d, '12.500'), jarowinkler(f, '1.5'), editdistance(r, '-0.0025'), editdistance_dl(dt, '2024-01-03') FROM typed;
SELECT jaro(dtm, '2024-01-02 03:04:05.678'), editdistance(tm, '12:00'), editdistance(y, 2025), jarowinkler(j, '{"name": "MARHTA"}') FROM typed;
SELECT editdistance(b, 'a'), editdistance_dl(bl, X'FF0023'), jarowinkler(e, 'MARHTA'), editdistance(st, 'b,a'), jaro(u, 4294967296) FROM typed;
SELECT jaro(d, f), jarowinkler(dt, dtm), editdistance(e, j), editdistance_dl(b, bl) FROM typed;
-- A subquery that yields NULL, and one that yields no row.
SELECT jaro((SELECT NULL), 'x'), jarowinkler('x', (SELECT e FROM typed WHERE 0)), editdistance((SELECT NULL), (SELECT NULL)), editdistance_dl((SELECT d FROM typed), 'x');
-- Values that are not strings at all.
SELECT jaro(TRUE, 1), editdistance(NOW() - NOW(), 0), editdistance_dl(-0, 0), jarowinkler(1e308, 1e308);
