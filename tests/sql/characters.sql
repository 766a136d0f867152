-- The functions over characters, beside the functions over bytes.
SET NAMES utf8mb4;
SELECT editdistance('Müller', 'Muller'), editdistance_utf8('Müller', 'Muller'), editdistance_dl_utf8('Müller', 'Mülelr');
SELECT editdistance('中', 'a'), editdistance_utf8('中', 'a'), jaro_utf8('中文', '文中'), jarowinkler_utf8('Jürgen', 'Jurgen'), jarowinkler('Jürgen', 'Jurgen');
-- Four-byte characters.
SELECT editdistance_utf8('😀😃', '😃😀'), editdistance_dl_utf8('😀😃', '😃😀'), editdistance('😀', '😃'), jaro_utf8('𝄞ab', '𝄞ba'), jaro('xab', 'xba');
-- Without multi-byte characters, the byte functions' results.
SELECT jaro_utf8('MARTHA', 'MARHTA'), jarowinkler_utf8('MARTHA', 'MARHTA'), editdistance_utf8('saturday', 'sunday'), editdistance_dl_utf8('abcd', 'abdc'), editdistance_dl_utf8('ca', 'abc');
-- Bytes that are not well-formed UTF-8 count one by one, and never equal a character.
SELECT editdistance_utf8(X'E4B861', 'a'), editdistance_utf8(X'E4B861', '中'), editdistance_utf8(X'E4', 'ä'), jaro_utf8(X'E4', 'ä'), editdistance_utf8(X'C0AF', '/');
-- No normalization: e with a combining accent is two characters, é one.
SELECT editdistance_utf8('é', CONCAT('e', _utf8mb4 X'CC81')), editdistance_utf8(LOWER('MÜLLER'), 'müller'), editdistance_utf8('MÜLLER', 'müller');
-- Wrong argument counts, NULL, empty strings.
SELECT jaro_utf8('a');
SELECT jarowinkler_utf8('a', 'b', 'c');
SELECT editdistance_utf8();
SELECT editdistance_dl_utf8('a', 'b', 'c');
SELECT jaro_utf8(NULL, 'x'), jarowinkler_utf8('x', NULL), editdistance_utf8(NULL, NULL), editdistance_dl_utf8('é', NULL);
SELECT jaro_utf8('', ''), jarowinkler_utf8('', 'é'), editdistance_utf8('', '中文'), editdistance_dl_utf8('中文', '');
-- Columns in utf8mb4, latin1 and utf16: the server hands over each column's
-- own bytes, so latin1 and utf16 columns need CONVERT(... USING utf8mb4).
CREATE TABLE names (id INT PRIMARY KEY, u VARCHAR(20) CHARACTER SET utf8mb4,
  l VARCHAR(20) CHARACTER SET latin1, w VARCHAR(20) CHARACTER SET utf16);
INSERT INTO names VALUES (1, 'Müller', 'Müller', 'Müller'), (2, 'Łukasz', NULL, 'Łukasz'),
  (3, NULL, 'François', NULL), (4, 'Ørsted', 'Ørsted', 'Ørsted');
SELECT id, editdistance_utf8(u, 'Müller'), editdistance_utf8(l, 'Müller'), editdistance_utf8(CONVERT(l USING utf8mb4), 'Müller'), editdistance_utf8(w, 'Müller'), editdistance_utf8(CONVERT(w USING utf8mb4), 'Müller') FROM names ORDER BY id;
SELECT id, jarowinkler_utf8(u, 'Lukasz'), jarowinkler(u, 'Lukasz'), editdistance_dl_utf8(u, 'Rørsted') FROM names ORDER BY id;
-- CREATE TABLE ... AS SELECT: DOUBLE and BIGINT columns.
CREATE TABLE scores AS SELECT jaro_utf8('Müller', 'Muller') AS j, jarowinkler_utf8('Müller', 'Muller') AS jw, editdistance_utf8('Müller', 'Muller') AS e, editdistance_dl_utf8('ab', 'ba') AS dl;
SHOW CREATE TABLE scores;
SELECT * FROM scores;
-- Long values: 40,000 characters of three bytes each.
SELECT editdistance_utf8(REPEAT('中文', 20000), REPEAT('文中', 20000)), editdistance_dl_utf8(REPEAT('中文', 20000), REPEAT('文中', 20000)), jaro_utf8(REPEAT('中', 40000), REPEAT('中', 40000));
