-- Every defined value, as the server prints it.
SET NAMES utf8mb4;
SELECT jaro('MARTHA', 'MARHTA'), jarowinkler('MARTHA', 'MARHTA');
SELECT jaro('DWAYNE', 'DUANE'), jarowinkler('DWAYNE', 'DUANE'), jaro('DIXON', 'DICKSONX');
SELECT jaro('ab', 'ba'), jaro('abc', 'cba'), jaro('ab', 'bba'), jarowinkler('aa', 'abba');
SELECT jarowinkler('abcdefgh', 'abcdefgx'), jaro('CRATE', 'TRACE'), jarowinkler('CRATE', 'TRACE');
SELECT jaro(12, 12), jaro(12, 21), jaro(1.5, 2.5), editdistance(100, 1000);
SELECT editdistance('saturday', 'sunday'), editdistance_dl('saturday', 'sunday');
SELECT editdistance('abcd', 'abdc'), editdistance_dl('abcd', 'abdc'), editdistance_dl('ca', 'abc');
-- Wrong argument counts are refused before the first row.
SELECT jaro('a');
SELECT jarowinkler('a', 'b', 'c');
SELECT editdistance('abc');
SELECT editdistance_dl();
-- NULL in each position; an empty string is a value.
SELECT jaro(NULL, 'x'), jaro('x', NULL), jarowinkler(NULL, NULL), editdistance(NULL, 'abc'), editdistance_dl('abc', NULL);
SELECT jaro('', ''), jaro('', 'abc'), jarowinkler('', ''), editdistance('', ''), editdistance('', 'abc'), editdistance_dl('abc', '');
-- '#' and NUL are ordinary bytes.
SELECT jaro('a#', 'aa'), jarowinkler('a#', 'aa'), jaro('ab#', 'ab#');
SELECT jaro(X'610062', X'610062'), jarowinkler(X'610062', X'610062'), jaro(X'006162', X'006162');
SELECT editdistance(X'610062', X'610063'), editdistance(X'610062', 'ab');
-- Multi-byte characters count byte by byte.
SELECT editdistance('é', 'e'), editdistance('é', 'è'), editdistance_dl('né', 'én'), jaro('café', 'cafe');
-- Binary and BLOB columns.
CREATE TABLE bytes (b VARBINARY(10), bl BLOB, f BINARY(4));
INSERT INTO bytes VALUES (X'00FF23', X'00FF2300', X'616263'), ('MARTHA', 'MARHTA', 'ab');
SELECT HEX(f), editdistance(b, bl), editdistance_dl(bl, b), jaro(b, bl), jarowinkler(f, 'ab') FROM bytes ORDER BY b;
DROP TABLE bytes;
-- Long values, and the server still answers afterwards.
SELECT editdistance(REPEAT('ab', 30000), REPEAT('ba', 30000)), editdistance_dl(REPEAT('ab', 30000), REPEAT('ba', 30000));
SELECT jaro(REPEAT('abc', 20000), REPEAT('abc', 20000)), jarowinkler(REPEAT('abc', 20000), REPEAT('abc', 20000));
SELECT 'still answering';
