-- Bounded edit distances: the distance when it is at most k, else k + 1.
SET NAMES utf8mb4;
SELECT editdistance_bounded('saturday', 'sunday', 5), editdistance_bounded('saturday', 'sunday', 3), editdistance_bounded('saturday', 'sunday', 2), editdistance_bounded('saturday', 'sunday', 0);
SELECT editdistance_dl_bounded('abcd', 'abdc', 1), editdistance_dl_bounded('abcd', 'abdc', 0), editdistance_bounded('abcd', 'abdc', 1), editdistance_dl_bounded('ca', 'abc', 2);
SELECT editdistance_utf8_bounded('Müller', 'Muller', 1), editdistance_bounded('Müller', 'Muller', 1), editdistance_dl_utf8_bounded('中文', '文中', 0), editdistance_dl_utf8_bounded('中文', '文中', 1);
-- A k at least the longer length gives the plain distance; k + 1 never overflows.
SELECT editdistance_bounded('abc', '', 3), editdistance_bounded('abc', 'xyz', 100), editdistance_bounded('abc', 'xyz', 9223372036854775807), editdistance_dl_utf8_bounded('ab', 'ba', 9223372036854775807);
-- The server turns k into an integer by its own rules: at distance 6, a k
-- of 2 gives 3 and a k of 3 gives 4.
SELECT editdistance_bounded('abcdef', 'uvwxyz', '2.5'), editdistance_bounded('abcdef', 'uvwxyz', 2.5), editdistance_bounded('abcdef', 'uvwxyz', 2.4), editdistance_bounded('abcdef', 'uvwxyz', '3'), editdistance_bounded('abcdef', 'uvwxyz', 'x'), editdistance_bounded('abcdef', 'uvwxyz', 2.5e0);
-- NULL, a negative k, and an unsigned k above 2^63 - 1 (which arrives negative) give NULL.
SELECT editdistance_bounded(NULL, 'a', 1), editdistance_bounded('a', NULL, 1), editdistance_bounded('a', 'b', NULL), editdistance_bounded('a', 'b', -1), editdistance_dl_bounded('a', 'b', 18446744073709551615);
-- Any other argument count is refused.
SELECT editdistance_bounded('a', 'b');
SELECT editdistance_dl_bounded('a', 'b', 1, 2);
SELECT editdistance_utf8_bounded();
SELECT editdistance_dl_utf8_bounded('a');
-- In WHERE, as a fuzzy search, and with k from a column.
CREATE TABLE names (id INT PRIMARY KEY, name VARCHAR(20) CHARACTER SET utf8mb4, k INT);
INSERT INTO names VALUES (1, 'MARTHA', 2), (2, 'MARHTA', 0), (3, 'MATHA', 1), (4, 'BERTHA', 3), (5, NULL, 2), (6, 'MÁRTHA', NULL), (7, 'MÁRTHA', 1);
SELECT id, name FROM names WHERE editdistance_bounded(name, 'MARTHA', 2) <= 2 ORDER BY id;
SELECT id, editdistance_bounded(name, 'MARTHA', k), editdistance_utf8_bounded(name, 'MARTHA', k), editdistance_dl_bounded(name, 'MARHTA', k) FROM names ORDER BY id;
-- CREATE TABLE ... AS SELECT: BIGINT columns.
CREATE TABLE bounded AS SELECT editdistance_bounded('a', 'b', 1) AS e, editdistance_dl_utf8_bounded('a', 'b', 0) AS dl;
SHOW CREATE TABLE bounded;
SELECT * FROM bounded;
