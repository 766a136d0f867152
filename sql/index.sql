-- An exact candidate index for "within k edits" over a text column, kept in
-- a side table by triggers: the procedures of the database `likeness`.
-- MariaDB 10.6 or later (JSON_TABLE); run it after install.sql. Safe to run
-- again. The procedures run with the caller's rights (SQL SECURITY
-- INVOKER); see docs/index.md for what a caller needs.
CREATE DATABASE IF NOT EXISTS likeness;

DELIMITER //

-- Runs a statement built as text (CREATE TRIGGER, for one, is refused in
-- a procedure's body but runs this way).
CREATE OR REPLACE PROCEDURE likeness.run(statement LONGTEXT) SQL SECURITY INVOKER
  EXECUTE IMMEDIATE statement//

-- An identifier quoted for dynamic SQL: backticks, and a backtick doubled.
CREATE OR REPLACE FUNCTION likeness.quoted(name VARCHAR(64)) RETURNS VARCHAR(130)
  DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT('`', REPLACE(name, '`', '``'), '`')//

-- The names an index on tbl.text_col uses: the side table and its triggers.
CREATE OR REPLACE FUNCTION likeness.side_name(tbl VARCHAR(64), text_col VARCHAR(64), suffix VARCHAR(8))
  RETURNS VARCHAR(200) DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT(tbl, '__', text_col, '__', suffix)//

CREATE OR REPLACE PROCEDURE likeness.fail(message VARCHAR(400)) SQL SECURITY INVOKER
  SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = message//

-- The key function of a form, its k and the id column of an existing index,
-- read from the side table's comment; fails when there is no such index.
CREATE OR REPLACE PROCEDURE likeness.index_of(db VARCHAR(64), tbl VARCHAR(64), text_col VARCHAR(64),
    OUT side VARCHAR(200), OUT keys_function VARCHAR(30), OUT k INT, OUT id_col VARCHAR(64))
  SQL SECURITY INVOKER
BEGIN
  DECLARE note VARCHAR(2048);
  SET side = likeness.side_name(tbl, text_col, 'keys');
  SELECT TABLE_COMMENT INTO note FROM information_schema.TABLES
    WHERE TABLE_SCHEMA = db AND TABLE_NAME = side;
  IF note IS NULL OR note NOT LIKE 'likeness index: %' THEN
    CALL likeness.fail(CONCAT('likeness: no index on ', db, '.', tbl, '.', text_col));
  END IF;
  -- "likeness index: function=F k=K id=NAME": the id column's name, which
  -- may hold anything, comes last.
  SET keys_function = SUBSTRING_INDEX(SUBSTRING_INDEX(note, ' k=', 1), 'function=', -1);
  SET k = SUBSTRING_INDEX(SUBSTRING_INDEX(note, ' id=', 1), ' k=', -1);
  SET id_col = SUBSTRING(note, LOCATE(' id=', note) + 4);
END//

-- The rows of a fresh build: every key of every row, INSERT IGNORE into
-- target (the side table, or a copy of its shape).
CREATE OR REPLACE PROCEDURE likeness.fill(db VARCHAR(64), tbl VARCHAR(64), text_col VARCHAR(64),
    id_col VARCHAR(64), keys_function VARCHAR(30), k INT, target VARCHAR(300))
  SQL SECURITY INVOKER
  CALL likeness.run(CONCAT('INSERT IGNORE INTO ', target, ' (k, id) SELECT j.k, t.',
    likeness.quoted(id_col), ' FROM ', likeness.quoted(db), '.', likeness.quoted(tbl),
    ' t, JSON_TABLE(', keys_function, '(t.', likeness.quoted(text_col), ', ', k,
    '), ''$[*]'' COLUMNS (k BIGINT PATH ''$'')) j'))//

CREATE OR REPLACE PROCEDURE likeness.create_index(db VARCHAR(64), tbl VARCHAR(64),
    id_col VARCHAR(64), text_col VARCHAR(64), k INT, form VARCHAR(8))
  SQL SECURITY INVOKER
BEGIN
  DECLARE keys_function VARCHAR(30);
  DECLARE id_type VARCHAR(200);
  DECLARE side VARCHAR(200) DEFAULT likeness.side_name(tbl, text_col, 'keys');
  DECLARE qside VARCHAR(300);
  DECLARE keys_of_new, keys_of_old, remove_old, add_new TEXT;
  DECLARE suffix VARCHAR(8);

  IF form = 'bytes' THEN SET keys_function = 'editdistance_keys';
  ELSEIF form = 'utf8' THEN SET keys_function = 'editdistance_utf8_keys';
  ELSE CALL likeness.fail(CONCAT('likeness.create_index: form must be ''bytes'' or ''utf8'', not ',
                                 IFNULL(QUOTE(form), 'NULL')));
  END IF;
  IF k IS NULL OR k NOT BETWEEN 0 AND 3 THEN
    CALL likeness.fail(CONCAT('likeness.create_index: k must be from 0 to 3, not ', IFNULL(k, 'NULL')));
  END IF;
  IF NOT EXISTS (SELECT 1 FROM information_schema.TABLES
                 WHERE TABLE_SCHEMA = db AND TABLE_NAME = tbl AND TABLE_TYPE = 'BASE TABLE') THEN
    CALL likeness.fail(CONCAT('likeness.create_index: no table ', db, '.', tbl));
  END IF;
  IF NOT EXISTS (SELECT 1 FROM information_schema.COLUMNS
                 WHERE TABLE_SCHEMA = db AND TABLE_NAME = tbl AND COLUMN_NAME = text_col) THEN
    CALL likeness.fail(CONCAT('likeness.create_index: no column ', text_col, ' in ', db, '.', tbl));
  END IF;
  IF (SELECT COUNT(*) FROM information_schema.KEY_COLUMN_USAGE
      WHERE TABLE_SCHEMA = db AND TABLE_NAME = tbl AND CONSTRAINT_NAME = 'PRIMARY') <> 1
     OR NOT EXISTS (SELECT 1 FROM information_schema.KEY_COLUMN_USAGE
                    WHERE TABLE_SCHEMA = db AND TABLE_NAME = tbl AND CONSTRAINT_NAME = 'PRIMARY'
                      AND COLUMN_NAME = id_col) THEN
    CALL likeness.fail(CONCAT('likeness.create_index: ', id_col, ' is not the single-column primary key of ',
                              db, '.', tbl));
  END IF;
  FOR name IN (SELECT likeness.side_name(tbl, text_col, s) AS n
               FROM (SELECT 'keys' AS s UNION ALL SELECT 'ai' UNION ALL SELECT 'au' UNION ALL SELECT 'ad') x)
  DO
    IF CHAR_LENGTH(name.n) > 64 THEN
      CALL likeness.fail(CONCAT('likeness.create_index: the name ', name.n, ' is longer than 64 characters'));
    END IF;
    IF EXISTS (SELECT 1 FROM information_schema.TABLES WHERE TABLE_SCHEMA = db AND TABLE_NAME = name.n)
       OR EXISTS (SELECT 1 FROM information_schema.TRIGGERS
                  WHERE TRIGGER_SCHEMA = db AND TRIGGER_NAME = name.n) THEN
      CALL likeness.fail(CONCAT('likeness.create_index: ', db, '.', name.n,
                                ' exists already (is the column indexed?)'));
    END IF;
  END FOR;

  SELECT COLUMN_TYPE INTO id_type FROM information_schema.COLUMNS
    WHERE TABLE_SCHEMA = db AND TABLE_NAME = tbl AND COLUMN_NAME = id_col;
  SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(side));
  CALL likeness.run(CONCAT('CREATE TABLE ', qside, ' (k BIGINT NOT NULL, id ', id_type,
    ' NOT NULL, PRIMARY KEY (k, id)) ENGINE=InnoDB COMMENT=',
    QUOTE(CONCAT('likeness index: function=', keys_function, ' k=', k, ' id=', id_col))));

  -- AFTER triggers: they see the row as stored (an AUTO_INCREMENT id, the
  -- text after BEFORE triggers). A row's old keys are removed by (k, id).
  SET keys_of_new = CONCAT('JSON_TABLE(', keys_function, '(NEW.', likeness.quoted(text_col), ', ', k,
                           '), ''$[*]'' COLUMNS (k BIGINT PATH ''$'')) j');
  SET keys_of_old = REPLACE(keys_of_new, '(NEW.', '(OLD.');
  SET add_new = CONCAT('INSERT IGNORE INTO ', qside, ' (k, id) SELECT j.k, NEW.',
                       likeness.quoted(id_col), ' FROM ', keys_of_new);
  SET remove_old = CONCAT('DELETE s FROM ', qside, ' s JOIN ', keys_of_old,
                          ' ON s.k = j.k WHERE s.id = OLD.', likeness.quoted(id_col));
  CALL likeness.run(CONCAT('CREATE TRIGGER ', likeness.quoted(db), '.',
    likeness.quoted(likeness.side_name(tbl, text_col, 'ai')), ' AFTER INSERT ON ',
    likeness.quoted(db), '.', likeness.quoted(tbl), ' FOR EACH ROW ', add_new));
  CALL likeness.run(CONCAT('CREATE TRIGGER ', likeness.quoted(db), '.',
    likeness.quoted(likeness.side_name(tbl, text_col, 'au')), ' AFTER UPDATE ON ',
    likeness.quoted(db), '.', likeness.quoted(tbl), ' FOR EACH ROW IF NOT (BINARY OLD.',
    likeness.quoted(text_col), ' <=> BINARY NEW.', likeness.quoted(text_col), ') OR NOT (OLD.',
    likeness.quoted(id_col), ' <=> NEW.', likeness.quoted(id_col), ') THEN ', remove_old, '; ',
    add_new, '; END IF'));
  CALL likeness.run(CONCAT('CREATE TRIGGER ', likeness.quoted(db), '.',
    likeness.quoted(likeness.side_name(tbl, text_col, 'ad')), ' AFTER DELETE ON ',
    likeness.quoted(db), '.', likeness.quoted(tbl), ' FOR EACH ROW ', remove_old));
  -- Filled after the triggers exist: a row written meanwhile is caught by
  -- one or the other, and INSERT IGNORE keeps each (k, id) once.
  CALL likeness.fill(db, tbl, text_col, id_col, keys_function, k, qside);
END//

CREATE OR REPLACE PROCEDURE likeness.drop_index(db VARCHAR(64), tbl VARCHAR(64), text_col VARCHAR(64))
  SQL SECURITY INVOKER
BEGIN
  DECLARE side VARCHAR(200);
  DECLARE keys_function VARCHAR(30);
  DECLARE k INT;
  DECLARE id_col VARCHAR(64);
  CALL likeness.index_of(db, tbl, text_col, side, keys_function, k, id_col);
  FOR t IN (SELECT 'ai' AS s UNION ALL SELECT 'au' UNION ALL SELECT 'ad') DO
    CALL likeness.run(CONCAT('DROP TRIGGER IF EXISTS ', likeness.quoted(db), '.',
                             likeness.quoted(likeness.side_name(tbl, text_col, t.s))));
  END FOR;
  CALL likeness.run(CONCAT('DROP TABLE ', likeness.quoted(db), '.', likeness.quoted(side)));
END//

-- Whether the side table equals a fresh build: one row of the side table's
-- rows, a fresh build's rows, the keys missing and the keys to spare, and
-- `consistent`.
CREATE OR REPLACE PROCEDURE likeness.check_index(db VARCHAR(64), tbl VARCHAR(64), text_col VARCHAR(64))
  SQL SECURITY INVOKER
BEGIN
  DECLARE side VARCHAR(200);
  DECLARE keys_function VARCHAR(30);
  DECLARE k INT;
  DECLARE id_col VARCHAR(64);
  DECLARE qside, fresh VARCHAR(300);
  CALL likeness.index_of(db, tbl, text_col, side, keys_function, k, id_col);
  SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(side));
  -- In the table's own database, where the caller may create it.
  SET fresh = CONCAT(likeness.quoted(db), '.likeness_fresh_keys');
  CALL likeness.run(CONCAT('DROP TEMPORARY TABLE IF EXISTS ', fresh));
  CALL likeness.run(CONCAT('CREATE TEMPORARY TABLE ', fresh, ' LIKE ', qside));
  CALL likeness.fill(db, tbl, text_col, id_col, keys_function, k, fresh);
  CALL likeness.run(CONCAT('SELECT (SELECT COUNT(*) FROM ', qside, ') AS side_rows, ',
    '(SELECT COUNT(*) FROM ', fresh, ') AS fresh_rows, ',
    '(SELECT COUNT(*) FROM ', fresh, ' f WHERE NOT EXISTS (SELECT 1 FROM ', qside,
    ' s WHERE s.k = f.k AND s.id = f.id)) AS missing, ',
    '(SELECT COUNT(*) FROM ', qside, ' s WHERE NOT EXISTS (SELECT 1 FROM ', fresh, ' f',
    ' WHERE f.k = s.k AND f.id = s.id)) AS spare, ',
    '(SELECT missing = 0 AND spare = 0) AS consistent'));
  CALL likeness.run(CONCAT('DROP TEMPORARY TABLE ', fresh));
END//

-- Builds the side table anew, for after what bypasses triggers: TRUNCATE,
-- cascades of foreign keys, an ALTER of the column's type or character set.
CREATE OR REPLACE PROCEDURE likeness.rebuild_index(db VARCHAR(64), tbl VARCHAR(64), text_col VARCHAR(64))
  SQL SECURITY INVOKER
BEGIN
  DECLARE side VARCHAR(200);
  DECLARE keys_function VARCHAR(30);
  DECLARE k INT;
  DECLARE id_col VARCHAR(64);
  DECLARE qside VARCHAR(300);
  CALL likeness.index_of(db, tbl, text_col, side, keys_function, k, id_col);
  SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(side));
  CALL likeness.run(CONCAT('DELETE FROM ', qside));
  CALL likeness.fill(db, tbl, text_col, id_col, keys_function, k, qside);
END//

DELIMITER ;
