-- Index keys: JSON arrays of integers; two values within k edits share one.
SELECT editdistance_keys('', 0), editdistance_keys('MARTHA', 0), editdistance_utf8_keys('MARTHA', 0);
SELECT JSON_LENGTH(editdistance_keys('MARTHA', 1)), JSON_LENGTH(editdistance_keys('MARTHA', 2)), JSON_LENGTH(editdistance_keys(REPEAT('abcdefghij', 1600000), 3));
SELECT COUNT(*) FROM JSON_TABLE(editdistance_keys('MARTHA', 1), '$[*]' COLUMNS (k BIGINT PATH '$')) a
  JOIN JSON_TABLE(editdistance_keys('MARHTA', 1), '$[*]' COLUMNS (k BIGINT PATH '$')) b USING (k);
SELECT COUNT(*) FROM JSON_TABLE(editdistance_utf8_keys('Müller', 1), '$[*]' COLUMNS (k BIGINT PATH '$')) a
  JOIN JSON_TABLE(editdistance_utf8_keys('Muller', 1), '$[*]' COLUMNS (k BIGINT PATH '$')) b USING (k);
SELECT editdistance_keys(NULL, 1), editdistance_keys('a', NULL), editdistance_keys('a', -1), editdistance_utf8_keys(NULL, 0);
CREATE TABLE ks (v VARCHAR(20), k INT);
INSERT INTO ks VALUES ('ab', 0), ('ab', 3), ('ab', 4), (NULL, 1);
SELECT v, k, JSON_LENGTH(editdistance_keys(v, k)) FROM ks;
SELECT editdistance_keys('MARTHA', 4);
SELECT editdistance_utf8_keys('MARTHA', '9');
SELECT editdistance_keys('MARTHA');
