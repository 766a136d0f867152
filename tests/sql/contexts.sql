-- The functions in every kind of statement that has taken servers down.
CREATE TABLE names (id INT PRIMARY KEY, name VARCHAR(20));
INSERT INTO names VALUES (1, 'MARTHA'), (2, NULL), (3, 'MARHTA'), (4, 'DWAYNE'), (5, NULL), (6, 'DUANE');
-- The NULL flag belongs to one row: NULLs after values, and values after NULLs.
SELECT id, jaro(name, 'MARHTA'), jarowinkler(name, 'MARHTA'), editdistance(name, 'MARHTA'), editdistance_dl(name, 'MARHTA') FROM names ORDER BY id;
SELECT id, editdistance(name, 'DUANE') FROM names ORDER BY id DESC;
-- GROUP BY and ORDER BY on the results.
SELECT editdistance(name, 'MARHTA') AS d, COUNT(*) FROM names GROUP BY d ORDER BY d;
SELECT name FROM names WHERE name IS NOT NULL ORDER BY jarowinkler(name, 'DUANE') DESC, name;
-- CREATE TABLE ... AS SELECT: DOUBLE and BIGINT columns, exact values.
CREATE TABLE scores AS SELECT jaro(12, 21) AS j, jarowinkler('MARTHA', 'MARHTA') AS jw, editdistance('a', 'b') AS e, editdistance_dl('ab', 'ba') AS dl;
SHOW CREATE TABLE scores;
SELECT * FROM scores;
-- A view.
CREATE VIEW near_marhta AS SELECT id, name, jarowinkler(name, 'MARHTA') AS score FROM names;
SELECT * FROM near_marhta WHERE score > 0.9 ORDER BY id;
-- A stored procedure, with NULL and non-NULL parameters.
DELIMITER //
CREATE PROCEDURE compare(IN a VARCHAR(20), IN b VARCHAR(20))
BEGIN
  SELECT jaro(a, b), jarowinkler(a, b), editdistance(a, b), editdistance_dl(a, b);
END//
DELIMITER ;
CALL compare('MARTHA', 'MARHTA');
CALL compare(NULL, 'MARHTA');
CALL compare('abcd', 'abdc');
-- A trigger.
CREATE TABLE matches (name VARCHAR(20), distance BIGINT, score DOUBLE);
CREATE TRIGGER score_match BEFORE INSERT ON matches FOR EACH ROW
  SET NEW.distance = editdistance(NEW.name, 'MARHTA'), NEW.score = jarowinkler(NEW.name, 'MARHTA');
INSERT INTO matches (name) VALUES ('MARTHA'), (NULL), ('MARTA');
SELECT * FROM matches;
-- A prepared statement with ? parameters.
PREPARE pairs FROM 'SELECT jaro(?, ?), jarowinkler(?, ?), editdistance(?, ?), editdistance_dl(?, ?)';
SET @a = 'MARTHA', @b = 'MARHTA', @n = NULL;
EXECUTE pairs USING @a, @b, @a, @b, @a, @b, @a, @b;
EXECUTE pairs USING @a, @n, @n, @b, @a, @n, @n, @b;
DEALLOCATE PREPARE pairs;
-- As a column's DEFAULT expression.
CREATE TABLE defaulted (a VARCHAR(10), d BIGINT DEFAULT (editdistance(a, 'abc')));
INSERT INTO defaulted (a) VALUES ('abd');
SELECT * FROM defaulted;
