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
-- Versions of keys: none is version 1; version 2 keys are negative, and
-- MARTHA and MARHTA share one.
SELECT editdistance_keys('MARTHA', 1, 1) = editdistance_keys('MARTHA', 1), JSON_LENGTH(editdistance_keys('MARTHA', 1, 2)),
  JSON_EXTRACT(editdistance_keys('MARTHA', 1, 2), '$[0]') < 0, editdistance_utf8_keys('MARTHA', 0, 2) = editdistance_keys('MARTHA', 0, 2);
SELECT COUNT(*) FROM JSON_TABLE(editdistance_keys('MARTHA', 1, 2), '$[*]' COLUMNS (k BIGINT PATH '$')) a
  JOIN JSON_TABLE(editdistance_keys('MARHTA', 1, 2), '$[*]' COLUMNS (k BIGINT PATH '$')) b USING (k);
SELECT k - 2 AS version, JSON_LENGTH(editdistance_keys('abcdef', 1, k - 2)) FROM ks;
SELECT editdistance_keys('MARTHA', 1, NULL), JSON_LENGTH(editdistance_keys(REPEAT('abcdefghij', 1600000), 3, 2));
SELECT editdistance_keys('MARTHA', 1, 3);
SELECT editdistance_utf8_keys('MARTHA', 1, 0);
SELECT editdistance_keys('MARTHA', 1, 2, 1);
-- Similarity keys: two values at or above the threshold share one; the
-- threshold arrives as a double whatever its type.
SELECT jarowinkler_keys('', 0.9), JSON_LENGTH(jarowinkler_keys('MARTHA', 0.9)) = JSON_LENGTH(jarowinkler_keys('MARTHA', '0.9')),
  jarowinkler_keys('MARTHA', 0.9) = jarowinkler_keys('MARTHA', 9 / 10), JSON_LENGTH(jarowinkler_utf8_keys(REPEAT('é', 8000000), 0.85)) < 100;
SELECT COUNT(*) > 0 FROM JSON_TABLE(jarowinkler_keys('MARTHA', 0.9), '$[*]' COLUMNS (k BIGINT PATH '$')) a
  JOIN JSON_TABLE(jarowinkler_keys('MARHTA', 0.9), '$[*]' COLUMNS (k BIGINT PATH '$')) b USING (k);
SELECT COUNT(*) FROM JSON_TABLE(jarowinkler_utf8_keys('Müller', 0.95), '$[*]' COLUMNS (k BIGINT PATH '$')) a
  JOIN JSON_TABLE(jarowinkler_utf8_keys('Mxller', 0.95), '$[*]' COLUMNS (k BIGINT PATH '$')) b USING (k);
SELECT jarowinkler_keys(NULL, 0.9), jarowinkler_keys('a', NULL), jarowinkler_utf8_keys(NULL, 1);
CREATE TABLE ts (v VARCHAR(20), t DOUBLE);
INSERT INTO ts VALUES ('ab', 0.8), ('ab', 0.79), ('ab', 1.01), ('ab', 1), (NULL, 0.9);
SELECT v, t, JSON_LENGTH(jarowinkler_keys(v, t)) FROM ts;
SELECT jarowinkler_keys('MARTHA', 0.5);
SELECT jarowinkler_utf8_keys('MARTHA', '1.5');
SELECT jarowinkler_keys('MARTHA');
