-- A table of words that stress the indexes: words of 0 to 11 letters over
-- a, b, c, d; their edits and swaps, multi-byte letters, broken UTF-8 and
-- binary values, duplicates, NULLs, long values; and probes among them and
-- beside them.
CREATE TABLE words (id INT AUTO_INCREMENT PRIMARY KEY, v VARBINARY(8000));
INSERT INTO words (v) SELECT REPLACE(REPLACE(REPLACE(REPLACE(LEFT(CONV(SUBSTRING(MD5(seq), 1, 12), 16, 4), seq % 12),
  '0', 'a'), '1', 'b'), '2', 'c'), '3', 'd') FROM seq_1_to_150;
-- one or two edits: insertions, deletions, substitutions, swaps
INSERT INTO words (v) SELECT CASE id % 4
    WHEN 0 THEN CONCAT(LEFT(v, id % 5), 'x', SUBSTRING(v, id % 5 + 1))
    WHEN 1 THEN CONCAT(LEFT(v, id % 5), SUBSTRING(v, id % 5 + 2))
    WHEN 2 THEN CONCAT(LEFT(v, id % 5), 'c', SUBSTRING(v, id % 5 + 2))
    ELSE CONCAT(LEFT(v, id % 5), SUBSTRING(v, id % 5 + 2, 1), SUBSTRING(v, id % 5 + 1, 1),
                SUBSTRING(v, id % 5 + 3)) END FROM words WHERE id <= 150;
INSERT INTO words (v) SELECT CONCAT(SUBSTRING(v, 2), 'd') FROM words WHERE id % 3 = 0;
INSERT INTO words (v) SELECT REPLACE(REPLACE(v, 'a', _utf8mb4'é'), 'b', _utf8mb4'Ж') FROM words WHERE id % 4 = 1;
INSERT INTO words (v) SELECT IF(id % 2, CONCAT(v, X'E4'), CONCAT(X'C3', v)) FROM words WHERE id % 9 = 2;
INSERT INTO words (v) SELECT UNHEX(LEFT(MD5(seq), 2 + seq % 10)) FROM seq_1_to_20;
INSERT INTO words (v) SELECT v FROM words WHERE id % 17 = 0;
INSERT INTO words (v) SELECT NULL FROM seq_1_to_5;
INSERT INTO words (v) SELECT REPEAT(IF(v = '', 'ab', v), 400) FROM words WHERE id < 6;
INSERT INTO words (v) SELECT CONCAT(v, 'x') FROM words WHERE LENGTH(v) > 1000;
CREATE TABLE probes (pid INT PRIMARY KEY, v VARBINARY(8000));
INSERT INTO probes SELECT id, v FROM words WHERE id % 7 = 3;
INSERT INTO probes SELECT 10000000 + id, CONCAT('a', v) FROM words WHERE id % 29 = 1;
