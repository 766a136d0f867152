-- Exact candidate indexes over a text column, kept in side tables by
-- triggers: one for "within k edits" and one for "jarowinkler at least a
-- threshold"; and fuzzy search and deduplication in one call, through an
-- index that serves them or by a scan: the procedures of the database
-- `likeness`. MariaDB 10.6 or
-- later (JSON_TABLE); run it after install.sql. Safe to run again. The
-- procedures run with the caller's rights (SQL SECURITY INVOKER); see
-- docs/index.md for what a caller needs.
-- Read as UTF-8 whatever the client's locale: the procedures are compiled in
-- the character set they were created with.
SET NAMES utf8mb4;
CREATE DATABASE IF NOT EXISTS likeness CHARACTER SET utf8mb4;
ALTER DATABASE likeness CHARACTER SET utf8mb4;

DELIMITER //

-- Runs a statement built as text (CREATE TRIGGER, for one, is refused in
-- a procedure's body but runs this way).
CREATE OR REPLACE PROCEDURE likeness.run(statement LONGTEXT CHARACTER SET utf8mb4) SQL SECURITY INVOKER
  EXECUTE IMMEDIATE statement//

-- An identifier quoted for dynamic SQL: backticks, and a backtick doubled.
CREATE OR REPLACE FUNCTION likeness.quoted(name VARCHAR(64) CHARACTER SET utf8mb4)
  RETURNS VARCHAR(130) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT('`', REPLACE(name, '`', '``'), '`')//

-- The names of an index of a kind ('edits' or 'similarity') on
-- tbl.text_col: its side table (part 'table') and its triggers ('ai', 'au',
-- 'ad'). The edit-distance index keeps the names it has always had.
CREATE OR REPLACE FUNCTION likeness.side_name(tbl VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10), part VARCHAR(8))
  RETURNS VARCHAR(200) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT(tbl, '__', text_col, '__',
    CASE WHEN kind = 'edits' AND part = 'table' THEN 'keys'
         WHEN kind = 'edits' THEN part
         WHEN part = 'table' THEN 'jw'
         ELSE CONCAT('jw_', part) END)//

-- The version of keys that new indexes of a kind get, and upgrade_index
-- moves older ones to.
CREATE OR REPLACE FUNCTION likeness.newest_version(kind VARCHAR(10))
  RETURNS INT DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN IF(kind = 'edits', 2, 1)//

-- What a side table's comment records of its index, which find_index reads.
CREATE OR REPLACE FUNCTION likeness.index_comment(kind VARCHAR(10), keys_function VARCHAR(30), bound VARCHAR(40),
    version INT, id_col VARCHAR(64) CHARACTER SET utf8mb4)
  RETURNS VARCHAR(300) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT('likeness index: kind=', kind, ' function=', keys_function, ' form=', likeness.form_of(keys_function),
                ' bound=', bound, ' version=', version, ' id=', id_col)//

CREATE OR REPLACE PROCEDURE likeness.fail(message VARCHAR(600) CHARACTER SET utf8mb4) SQL SECURITY INVOKER
  SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = message//

-- The keys of an expression as a table j with one column k: the key
-- function called with its bound (k, or the threshold as the double it was
-- given) and, past version 1, its version.
CREATE OR REPLACE FUNCTION likeness.keys_rows(keys_function VARCHAR(30), value_expr TEXT CHARACTER SET utf8mb4,
    bound VARCHAR(40), version INT)
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT('JSON_TABLE(', keys_function, '(', value_expr, ', ',
    IF(keys_function LIKE 'jarowinkler%', CONCAT('CAST(', QUOTE(bound), ' AS DOUBLE)'), bound),
    IF(version > 1, CONCAT(', ', version), ''), '), ''$[*]'' COLUMNS (k BIGINT PATH ''$'')) j')//

-- Names are compared with information_schema in its own character set,
-- utf8mb3, which holds every identifier: in utf8mb4 the server reads every
-- table of every database to answer.
--
-- An existing index of a kind, read from its side table's comment
-- "likeness index: kind=K function=F form=bytes|utf8 bound=B version=V id=NAME" (or, from
-- the first release, "likeness index: function=F k=K id=NAME"), the id
-- column's name, which may hold anything, last. Found is 0 when there is
-- none.
CREATE OR REPLACE PROCEDURE likeness.find_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10),
    OUT found INT, OUT side VARCHAR(200) CHARACTER SET utf8mb4, OUT keys_function VARCHAR(30),
    OUT bound VARCHAR(40), OUT version INT, OUT id_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE note VARCHAR(2048) CHARACTER SET utf8mb4;
  SET side = likeness.side_name(tbl, text_col, kind, 'table');
  SELECT TABLE_COMMENT INTO note FROM information_schema.TABLES
    WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(side USING utf8mb3);
  -- One statement: a search through an index pays for every one.
  SET found = IFNULL(note LIKE CONCAT('likeness index: kind=', kind, ' %')
                     OR (kind = 'edits' AND note LIKE 'likeness index: function=%'), 0),
      id_col = IF(found, SUBSTRING(note, LOCATE(' id=', note) + 4), NULL),
      note = IF(found, LEFT(note, LOCATE(' id=', note) - 1), NULL),
      keys_function = SUBSTRING_INDEX(SUBSTRING_INDEX(note, 'function=', -1), ' ', 1),
      bound = IF(note LIKE '% k=%', SUBSTRING_INDEX(note, ' k=', -1),
                 SUBSTRING_INDEX(SUBSTRING_INDEX(note, ' bound=', -1), ' ', 1)),
      version = IF(note LIKE '% k=%', 1, SUBSTRING_INDEX(note, ' version=', -1));
END//

-- The same, failing when there is none.
CREATE OR REPLACE PROCEDURE likeness.index_of(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10),
    OUT side VARCHAR(200) CHARACTER SET utf8mb4, OUT keys_function VARCHAR(30), OUT bound VARCHAR(40),
    OUT version INT, OUT id_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE found INT;
  CALL likeness.find_index(db, tbl, text_col, kind, found, side, keys_function, bound, version, id_col);
  IF NOT found THEN
    CALL likeness.fail(CONCAT('likeness: no ', IF(kind = 'edits', '', 'similarity '), 'index on ',
                              db, '.', tbl, '.', text_col));
  END IF;
END//

-- The rows of a fresh build: every key of every row, INSERT IGNORE into
-- target (the side table, or a copy of its shape), in the order of the
-- keys, so that a side table larger than the buffer pool is written from
-- one end to the other rather than at random.
CREATE OR REPLACE PROCEDURE likeness.fill(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    id_col VARCHAR(64) CHARACTER SET utf8mb4, keys_function VARCHAR(30), bound VARCHAR(40), version INT,
    target VARCHAR(300) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
  CALL likeness.run(CONCAT('INSERT IGNORE INTO ', target, ' (k, id) SELECT j.k, t.',
    likeness.quoted(id_col), ' FROM ', likeness.quoted(db), '.', likeness.quoted(tbl), ' t, ',
    likeness.keys_rows(keys_function, CONCAT('t.', likeness.quoted(text_col)), bound, version),
    ' ORDER BY j.k'))//

-- The checks every index makes before it is built; the caller names itself
-- in the messages.
CREATE OR REPLACE PROCEDURE likeness.check_indexable(caller VARCHAR(40), db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10))
  SQL SECURITY INVOKER
BEGIN
  IF NOT EXISTS (SELECT 1 FROM information_schema.TABLES
                 WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
                   AND TABLE_TYPE = 'BASE TABLE') THEN
    CALL likeness.fail(CONCAT(caller, ': no table ', db, '.', tbl));
  END IF;
  IF NOT EXISTS (SELECT 1 FROM information_schema.COLUMNS
                 WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
                   AND COLUMN_NAME = CONVERT(text_col USING utf8mb3)) THEN
    CALL likeness.fail(CONCAT(caller, ': no column ', text_col, ' in ', db, '.', tbl));
  END IF;
  IF (SELECT COUNT(*) FROM information_schema.KEY_COLUMN_USAGE
      WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
        AND CONSTRAINT_NAME = 'PRIMARY') <> 1
     OR NOT EXISTS (SELECT 1 FROM information_schema.KEY_COLUMN_USAGE
                    WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
                      AND CONSTRAINT_NAME = 'PRIMARY'
                      AND COLUMN_NAME = CONVERT(id_col USING utf8mb3)) THEN
    CALL likeness.fail(CONCAT(caller, ': ', id_col, ' is not the single-column primary key of ', db, '.', tbl));
  END IF;
  FOR name IN (SELECT likeness.side_name(tbl, text_col, kind, s) AS n
               FROM (SELECT 'table' AS s UNION ALL SELECT 'ai' UNION ALL SELECT 'au' UNION ALL SELECT 'ad') x)
  DO
    IF CHAR_LENGTH(name.n) > 64 THEN
      CALL likeness.fail(CONCAT(caller, ': the name ', name.n, ' is longer than 64 characters'));
    END IF;
    IF EXISTS (SELECT 1 FROM information_schema.TABLES
               WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(name.n USING utf8mb3))
       OR EXISTS (SELECT 1 FROM information_schema.TRIGGERS
                  WHERE TRIGGER_SCHEMA = CONVERT(db USING utf8mb3)
                    AND TRIGGER_NAME = CONVERT(name.n USING utf8mb3)) THEN
      CALL likeness.fail(CONCAT(caller, ': ', db, '.', name.n, ' exists already (is the column indexed?)'));
    END IF;
  END FOR;
END//

-- The AFTER triggers that keep an index's side table exact, created or
-- replaced: they see the row as stored (an AUTO_INCREMENT id, the text
-- after BEFORE triggers), and write the keys of every version from
-- least_version to version, which holds the side table exact for each while
-- upgrade_index moves it from one to the next. A row's old keys are removed
-- by (k, id).
CREATE OR REPLACE PROCEDURE likeness.make_triggers(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10), keys_function VARCHAR(30),
    bound VARCHAR(40), least_version INT, version INT)
  SQL SECURITY INVOKER
BEGIN
  DECLARE v INT DEFAULT least_version;
  DECLARE qtable, qside VARCHAR(300) CHARACTER SET utf8mb4;
  DECLARE remove_old, add_new TEXT CHARACTER SET utf8mb4 DEFAULT '';
  SET qtable = CONCAT(likeness.quoted(db), '.', likeness.quoted(tbl));
  SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(likeness.side_name(tbl, text_col, kind, 'table')));
  WHILE v <= version DO
    SET add_new = CONCAT(add_new, 'INSERT IGNORE INTO ', qside, ' (k, id) SELECT j.k, NEW.',
                         likeness.quoted(id_col), ' FROM ',
                         likeness.keys_rows(keys_function, CONCAT('NEW.', likeness.quoted(text_col)), bound, v), '; ');
    SET remove_old = CONCAT(remove_old, 'DELETE s FROM ', qside, ' s JOIN ',
                            likeness.keys_rows(keys_function, CONCAT('OLD.', likeness.quoted(text_col)), bound, v),
                            ' ON s.k = j.k WHERE s.id = OLD.', likeness.quoted(id_col), '; ');
    SET v = v + 1;
  END WHILE;
  CALL likeness.run(CONCAT('CREATE OR REPLACE TRIGGER ', likeness.quoted(db), '.',
    likeness.quoted(likeness.side_name(tbl, text_col, kind, 'ai')), ' AFTER INSERT ON ', qtable,
    ' FOR EACH ROW BEGIN ', add_new, 'END'));
  CALL likeness.run(CONCAT('CREATE OR REPLACE TRIGGER ', likeness.quoted(db), '.',
    likeness.quoted(likeness.side_name(tbl, text_col, kind, 'au')), ' AFTER UPDATE ON ', qtable,
    ' FOR EACH ROW IF NOT (BINARY OLD.', likeness.quoted(text_col), ' <=> BINARY NEW.',
    likeness.quoted(text_col), ') OR NOT (OLD.', likeness.quoted(id_col), ' <=> NEW.',
    likeness.quoted(id_col), ') THEN ', remove_old, add_new, 'END IF'));
  CALL likeness.run(CONCAT('CREATE OR REPLACE TRIGGER ', likeness.quoted(db), '.',
    likeness.quoted(likeness.side_name(tbl, text_col, kind, 'ad')), ' AFTER DELETE ON ', qtable,
    ' FOR EACH ROW BEGIN ', remove_old, 'END'));
END//

-- Builds an index of a kind: the side table, whose comment records how its
-- keys are made, the triggers that keep it exact, then its rows.
CREATE OR REPLACE PROCEDURE likeness.build_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10), keys_function VARCHAR(30),
    bound VARCHAR(40), version INT)
  SQL SECURITY INVOKER
BEGIN
  DECLARE id_type VARCHAR(200);
  DECLARE qside VARCHAR(300) CHARACTER SET utf8mb4;
  SELECT COLUMN_TYPE INTO id_type FROM information_schema.COLUMNS
    WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
      AND COLUMN_NAME = CONVERT(id_col USING utf8mb3);
  SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(likeness.side_name(tbl, text_col, kind, 'table')));
  CALL likeness.run(CONCAT('CREATE TABLE ', qside, ' (k BIGINT NOT NULL, id ', id_type,
    ' NOT NULL, PRIMARY KEY (k, id)) ENGINE=InnoDB COMMENT=',
    QUOTE(likeness.index_comment(kind, keys_function, bound, version, id_col))));
  CALL likeness.make_triggers(db, tbl, id_col, text_col, kind, keys_function, bound, version, version);
  -- Filled after the triggers exist: a row written meanwhile is caught by
  -- one or the other, and INSERT IGNORE keeps each (k, id) once.
  CALL likeness.fill(db, tbl, text_col, id_col, keys_function, bound, version, qside);
END//

-- The key function of a form, 'bytes' or 'utf8'; fails for another.
CREATE OR REPLACE PROCEDURE likeness.form_keys(caller VARCHAR(40), form VARCHAR(16) CHARACTER SET utf8mb4,
    bytes_function VARCHAR(30), utf8_function VARCHAR(30), OUT keys_function VARCHAR(30))
  SQL SECURITY INVOKER
BEGIN
  SET keys_function = CASE WHEN form = 'bytes' THEN bytes_function WHEN form = 'utf8' THEN utf8_function END;
  IF keys_function IS NULL THEN
    CALL likeness.fail(CONCAT(caller, ': form must be ''bytes'' or ''utf8'', not ', IFNULL(QUOTE(form), 'NULL')));
  END IF;
END//

CREATE OR REPLACE PROCEDURE likeness.create_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, k INT, form VARCHAR(16) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE keys_function VARCHAR(30);
  CALL likeness.form_keys('likeness.create_index', form, 'editdistance_keys', 'editdistance_utf8_keys',
                          keys_function);
  IF k IS NULL OR k NOT BETWEEN 0 AND 3 THEN
    CALL likeness.fail(CONCAT('likeness.create_index: k must be from 0 to 3, not ', IFNULL(k, 'NULL')));
  END IF;
  CALL likeness.check_indexable('likeness.create_index', db, tbl, id_col, text_col, 'edits');
  CALL likeness.build_index(db, tbl, id_col, text_col, 'edits', keys_function, k, likeness.newest_version('edits'));
END//

CREATE OR REPLACE PROCEDURE likeness.create_similarity_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, threshold DOUBLE, form VARCHAR(16) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE keys_function VARCHAR(30);
  CALL likeness.form_keys('likeness.create_similarity_index', form, 'jarowinkler_keys', 'jarowinkler_utf8_keys',
                          keys_function);
  IF threshold IS NULL OR NOT (threshold >= 0.8 AND threshold <= 1) THEN
    CALL likeness.fail(CONCAT('likeness.create_similarity_index: threshold must be from 0.8 to 1, not ',
                              IFNULL(threshold, 'NULL')));
  END IF;
  CALL likeness.check_indexable('likeness.create_similarity_index', db, tbl, id_col, text_col, 'similarity');
  CALL likeness.build_index(db, tbl, id_col, text_col, 'similarity', keys_function, CONCAT(threshold),
                            likeness.newest_version('similarity'));
END//

-- Removes the index of a kind: its side table and its three triggers.
CREATE OR REPLACE PROCEDURE likeness.remove_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10))
  SQL SECURITY INVOKER
BEGIN
  DECLARE side VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE keys_function VARCHAR(30);
  DECLARE bound VARCHAR(40);
  DECLARE version INT;
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  CALL likeness.index_of(db, tbl, text_col, kind, side, keys_function, bound, version, id_col);
  FOR t IN (SELECT 'ai' AS s UNION ALL SELECT 'au' UNION ALL SELECT 'ad') DO
    CALL likeness.run(CONCAT('DROP TRIGGER IF EXISTS ', likeness.quoted(db), '.',
                             likeness.quoted(likeness.side_name(tbl, text_col, kind, t.s))));
  END FOR;
  CALL likeness.run(CONCAT('DROP TABLE ', likeness.quoted(db), '.', likeness.quoted(side)));
END//

CREATE OR REPLACE PROCEDURE likeness.drop_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
  CALL likeness.remove_index(db, tbl, text_col, 'edits')//

CREATE OR REPLACE PROCEDURE likeness.drop_similarity_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
  CALL likeness.remove_index(db, tbl, text_col, 'similarity')//

-- Whether each index of the column equals a fresh build: a row per index
-- with its side table, its kind, the side table's rows, a fresh build's
-- rows, the keys missing and the keys to spare, `consistent`, and the
-- version of its keys. Fails when the column has no index.
CREATE OR REPLACE PROCEDURE likeness.check_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE found, version, checked INT DEFAULT 0;
  DECLARE side VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE keys_function VARCHAR(30);
  DECLARE bound VARCHAR(40);
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE qside, fresh, report VARCHAR(300) CHARACTER SET utf8mb4;
  -- In the table's own database, where the caller may create them.
  SET fresh = CONCAT(likeness.quoted(db), '.likeness_fresh_keys');
  SET report = CONCAT(likeness.quoted(db), '.likeness_index_check');
  CALL likeness.run(CONCAT('DROP TEMPORARY TABLE IF EXISTS ', report));
  CALL likeness.run(CONCAT('CREATE TEMPORARY TABLE ', report, ' (side_table VARCHAR(64) CHARACTER SET utf8mb4, ',
    'kind VARCHAR(10), side_rows BIGINT, fresh_rows BIGINT, missing BIGINT, spare BIGINT, version INT)'));
  FOR index_kind IN (SELECT 'edits' AS kind UNION ALL SELECT 'similarity') DO
    CALL likeness.find_index(db, tbl, text_col, index_kind.kind, found, side, keys_function, bound, version, id_col);
    IF found THEN
      SET checked = checked + 1;
      SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(side));
      CALL likeness.run(CONCAT('DROP TEMPORARY TABLE IF EXISTS ', fresh));
      CALL likeness.run(CONCAT('CREATE TEMPORARY TABLE ', fresh, ' LIKE ', qside));
      CALL likeness.fill(db, tbl, text_col, id_col, keys_function, bound, version, fresh);
      CALL likeness.run(CONCAT('INSERT INTO ', report, ' SELECT ', QUOTE(side), ', ', QUOTE(index_kind.kind), ', ',
        '(SELECT COUNT(*) FROM ', qside, '), (SELECT COUNT(*) FROM ', fresh, '), ',
        '(SELECT COUNT(*) FROM ', fresh, ' f WHERE NOT EXISTS (SELECT 1 FROM ', qside,
        ' s WHERE s.k = f.k AND s.id = f.id)), ',
        '(SELECT COUNT(*) FROM ', qside, ' s WHERE NOT EXISTS (SELECT 1 FROM ', fresh, ' f',
        ' WHERE f.k = s.k AND f.id = s.id)), ', version));
      CALL likeness.run(CONCAT('DROP TEMPORARY TABLE ', fresh));
    END IF;
  END FOR;
  IF checked = 0 THEN
    CALL likeness.run(CONCAT('DROP TEMPORARY TABLE ', report));
    CALL likeness.fail(CONCAT('likeness: no index on ', db, '.', tbl, '.', text_col));
  END IF;
  CALL likeness.run(CONCAT('SELECT side_table, kind, side_rows, fresh_rows, missing, spare, ',
    'missing = 0 AND spare = 0 AS consistent, version FROM ', report, ' ORDER BY kind'));
  CALL likeness.run(CONCAT('DROP TEMPORARY TABLE ', report));
END//

-- Renews each index of the column, failing when it has none: 'rebuild'
-- builds it anew with its kind, bound and key version; 'upgrade' moves one
-- whose keys are older than its kind's newest to the newest keys, in place
-- and answering exactly throughout. An upgrade first has the triggers write
-- the keys of both versions, adds the newest keys of every row, turns the
-- comment to the newest version, whose keys the procedures then use, turns
-- the triggers to the newest keys alone, and deletes the older keys
-- (version 1 keys are the non-negative ones); one that stops (a kill, a
-- right the caller lacks) leaves the index exact, and is finished by
-- upgrading again.
CREATE OR REPLACE PROCEDURE likeness.renew_indexes(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, how VARCHAR(10))
  SQL SECURITY INVOKER
BEGIN
  DECLARE found, version, newest, indexes INT DEFAULT 0;
  DECLARE side VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE keys_function VARCHAR(30);
  DECLARE bound VARCHAR(40);
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE qside VARCHAR(300) CHARACTER SET utf8mb4;
  FOR index_kind IN (SELECT 'edits' AS kind UNION ALL SELECT 'similarity') DO
    CALL likeness.find_index(db, tbl, text_col, index_kind.kind, found, side, keys_function, bound, version, id_col);
    SET indexes = indexes + found, newest = likeness.newest_version(index_kind.kind),
        qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(side));
    IF found AND how = 'rebuild' THEN
      CALL likeness.run(CONCAT('DELETE FROM ', qside));
      CALL likeness.fill(db, tbl, text_col, id_col, keys_function, bound, version, qside);
    END IF;
    IF found AND how = 'upgrade' AND version < newest THEN
      CALL likeness.make_triggers(db, tbl, id_col, text_col, index_kind.kind, keys_function, bound, version, newest);
      CALL likeness.fill(db, tbl, text_col, id_col, keys_function, bound, newest, qside);
      CALL likeness.run(CONCAT('ALTER TABLE ', qside, ' COMMENT = ',
        QUOTE(likeness.index_comment(index_kind.kind, keys_function, bound, newest, id_col))));
      CALL likeness.make_triggers(db, tbl, id_col, text_col, index_kind.kind, keys_function, bound, newest, newest);
    END IF;
    -- Also the older keys of an upgrade that stopped before it deleted them.
    IF found AND how = 'upgrade' AND index_kind.kind = 'edits' THEN
      CALL likeness.run(CONCAT('DELETE FROM ', qside, ' WHERE k >= 0'));
    END IF;
  END FOR;
  IF indexes = 0 THEN
    CALL likeness.fail(CONCAT('likeness: no index on ', db, '.', tbl, '.', text_col));
  END IF;
END//

-- For after what bypasses triggers: TRUNCATE, cascades of foreign keys, an
-- ALTER of the column's type or character set.
CREATE OR REPLACE PROCEDURE likeness.rebuild_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
  CALL likeness.renew_indexes(db, tbl, text_col, 'rebuild')//

-- Raw queries must then ask for the newest keys.
CREATE OR REPLACE PROCEDURE likeness.upgrade_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
  CALL likeness.renew_indexes(db, tbl, text_col, 'upgrade')//

-- The kind of index that serves a measure ('edits' or 'similarity'), after
-- checking the measure and its bound: a distance's bound is a whole number
-- from 0 up, a similarity's from 0 to 1.
CREATE OR REPLACE PROCEDURE likeness.measure_kind(caller VARCHAR(40), measure VARCHAR(64) CHARACTER SET utf8mb4,
    bound DOUBLE, OUT kind VARCHAR(10))
  SQL SECURITY INVOKER
BEGIN
  -- One statement to decide and one to refuse: a search pays for every one.
  DECLARE problem VARCHAR(600) CHARACTER SET utf8mb4;
  SET kind = CASE WHEN measure IN ('editdistance', 'editdistance_dl', 'editdistance_utf8', 'editdistance_dl_utf8')
                    THEN 'edits'
                  WHEN measure IN ('jaro', 'jarowinkler', 'jaro_utf8', 'jarowinkler_utf8') THEN 'similarity' END,
      problem = CASE
        WHEN kind IS NULL THEN
          CONCAT(caller, ': measure must be one of editdistance, editdistance_dl, ',
                 'editdistance_utf8, editdistance_dl_utf8, jaro, jarowinkler, jaro_utf8, jarowinkler_utf8, not ',
                 IFNULL(QUOTE(measure), 'NULL'))
        WHEN kind = 'edits' AND (bound IS NULL OR bound < 0 OR bound <> FLOOR(bound) OR bound >= 9.2e18) THEN
          CONCAT(caller, ': the bound of ', measure, ' is a whole number of edits from 0 up, not ',
                 IFNULL(bound, 'NULL'))
        WHEN kind = 'similarity' AND (bound IS NULL OR NOT (bound >= 0 AND bound <= 1)) THEN
          CONCAT(caller, ': the bound of ', measure, ' is a threshold from 0 to 1, not ', IFNULL(bound, 'NULL')) END;
  IF problem IS NOT NULL THEN
    CALL likeness.fail(problem);
  END IF;
END//

-- The index of the column that serves a measure within a bound, if any: of
-- the measure's kind and form, of k at least the bound (edits) or of a
-- threshold at most it (similarity). Read from the side table's comment
-- alone, so a search through an index looks at nothing else. Else the
-- reason none serves, for the warning of a scan.
CREATE OR REPLACE PROCEDURE likeness.serving_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    measure VARCHAR(64), kind VARCHAR(10), bound DOUBLE, OUT serves INT, OUT side VARCHAR(200) CHARACTER SET utf8mb4,
    OUT keys_function VARCHAR(30), OUT index_bound VARCHAR(40), OUT version INT,
    OUT id_col VARCHAR(64) CHARACTER SET utf8mb4, OUT why_not VARCHAR(400) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE found INT;
  CALL likeness.find_index(db, tbl, text_col, kind, found, side, keys_function, index_bound, version, id_col);
  SET serves = found AND likeness.form_of(keys_function) = IF(measure LIKE '%\_utf8', 'utf8', 'bytes')
               AND IF(kind = 'edits', CAST(index_bound AS DOUBLE) >= bound, CAST(index_bound AS DOUBLE) <= bound);
  IF NOT serves THEN
    SET why_not = CASE
        WHEN kind = 'edits' AND bound > 3 THEN 'no index serves more than 3 edits'
        WHEN kind = 'similarity' AND bound < 0.8 THEN 'no index serves a threshold below 0.8'
        WHEN found THEN CONCAT('its index ', side, ' (', IF(kind = 'edits', 'k ', 'threshold '), index_bound,
                               ', form ''', likeness.form_of(keys_function), ''') does not serve; ',
                               likeness.wanted_index(measure, kind, bound), ' would serve')
        ELSE CONCAT(likeness.wanted_index(measure, kind, bound), ' would serve') END;
  END IF;
END//

-- The form of a key function: 'utf8' or 'bytes'.
CREATE OR REPLACE FUNCTION likeness.form_of(keys_function VARCHAR(30))
  RETURNS VARCHAR(8) DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN IF(keys_function LIKE '%\_utf8\_keys', 'utf8', 'bytes')//

-- The index that would serve a measure within a bound, in words.
CREATE OR REPLACE FUNCTION likeness.wanted_index(measure VARCHAR(64), kind VARCHAR(10), bound DOUBLE)
  RETURNS VARCHAR(200) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN IF(kind = 'edits',
    CONCAT('an edit-distance index of k ', bound, ' to 3, form ''', IF(measure LIKE '%\_utf8', 'utf8', 'bytes'),
           ''' (likeness.create_index)'),
    CONCAT('a similarity index of threshold 0.8 to ', bound, ', form ''', IF(measure LIKE '%\_utf8', 'utf8', 'bytes'),
           ''' (likeness.create_similarity_index)'))//

-- The id column of a table that may be searched: its single-column primary
-- key, after checking that the table and the text column exist.
CREATE OR REPLACE PROCEDURE likeness.id_column(caller VARCHAR(40), db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    OUT id_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  IF NOT EXISTS (SELECT 1 FROM information_schema.TABLES
                 WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3)
                   AND TABLE_NAME = CONVERT(tbl USING utf8mb3)) THEN
    CALL likeness.fail(CONCAT(caller, ': no table ', db, '.', tbl));
  END IF;
  IF NOT EXISTS (SELECT 1 FROM information_schema.COLUMNS
                 WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
                   AND COLUMN_NAME = CONVERT(text_col USING utf8mb3)) THEN
    CALL likeness.fail(CONCAT(caller, ': no column ', text_col, ' in ', db, '.', tbl));
  END IF;
  SELECT IF(COUNT(*) = 1, MAX(COLUMN_NAME), NULL) INTO id_col FROM information_schema.KEY_COLUMN_USAGE
    WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
      AND CONSTRAINT_NAME = 'PRIMARY';
  IF id_col IS NULL THEN
    CALL likeness.fail(CONCAT(caller, ': ', db, '.', tbl, ' has no single-column primary key'));
  END IF;
END//

-- A measure's score of two expressions: the distance when at most the bound
-- (the _bounded form, else bound + 1), or the similarity.
CREATE OR REPLACE FUNCTION likeness.score_of(measure VARCHAR(64), kind VARCHAR(10), a TEXT CHARACTER SET utf8mb4,
    b TEXT CHARACTER SET utf8mb4, bound DOUBLE)
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN IF(kind = 'edits', CONCAT(measure, '_bounded(', a, ', ', b, ', ', CAST(bound AS INTEGER), ')'),
            CONCAT(measure, '(', a, ', ', b, ')'))//

-- Whether a score is within the bound.
CREATE OR REPLACE FUNCTION likeness.within(kind VARCHAR(10), bound DOUBLE)
  RETURNS TEXT DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN IF(kind = 'edits', CONCAT('score <= ', CAST(bound AS INTEGER)),
            CONCAT('score >= CAST(', QUOTE(CONCAT(bound)), ' AS DOUBLE)'))//

-- The warning that says which way a call went.
CREATE OR REPLACE PROCEDURE likeness.tell_way(caller VARCHAR(40), serves INT,
    side VARCHAR(200) CHARACTER SET utf8mb4, db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, scan VARCHAR(20), why_not VARCHAR(400) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE message VARCHAR(600) CHARACTER SET utf8mb4 DEFAULT IF(serves,
    CONCAT(caller, ': through the index ', db, '.', side),
    CONCAT(caller, ': by ', scan, ' of ', db, '.', tbl, '; ', why_not));
  SIGNAL SQLSTATE '01000' SET MESSAGE_TEXT = message;
END//

-- Every row of tbl whose text_col is within the bound of value by the
-- measure, best first (distances ascending, similarities descending, then
-- id), at most max_rows of them (NULL: all): columns named after the id and
-- the text column, and score. Through an index of the column that serves
-- the measure, else by a scan; the rows are the scan's either way, and a
-- warning after the call says which way it went.
CREATE OR REPLACE PROCEDURE likeness.search(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    measure VARCHAR(64) CHARACTER SET utf8mb4, bound DOUBLE, value LONGBLOB, max_rows BIGINT)
  SQL SECURITY INVOKER
BEGIN
  DECLARE kind VARCHAR(10);
  DECLARE serves, version INT;
  DECLARE side VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE keys_function VARCHAR(30);
  DECLARE index_bound VARCHAR(40);
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE why_not VARCHAR(600) CHARACTER SET utf8mb4;
  DECLARE qid, qtext VARCHAR(130) CHARACTER SET utf8mb4;
  DECLARE statement TEXT CHARACTER SET utf8mb4;
  CALL likeness.measure_kind('likeness.search', measure, bound, kind);
  IF max_rows < 0 THEN
    CALL likeness.fail(CONCAT('likeness.search: max_rows must be from 0 up, or NULL for all, not ', max_rows));
  END IF;
  CALL likeness.serving_index(db, tbl, text_col, measure, kind, bound, serves, side, keys_function, index_bound,
                              version, id_col, why_not);
  IF NOT serves THEN
    CALL likeness.id_column('likeness.search', db, tbl, text_col, id_col);
  END IF;
  -- One statement, with the names quoted in it: every statement and
  -- function call of a search through an index adds to its time.
  SET qid = CONCAT('`', REPLACE(id_col, '`', '``'), '`'), qtext = CONCAT('`', REPLACE(text_col, '`', '``'), '`'),
      statement = CONCAT('SELECT t.', qid, ', t.', qtext, ', ',
        likeness.score_of(measure, kind, CONCAT('t.', qtext), '?', bound), ' AS score FROM `',
        REPLACE(db, '`', '``'), '`.`', REPLACE(tbl, '`', '``'), '` t WHERE ',
        IF(serves, CONCAT('t.', qid, ' IN (SELECT s.id FROM ',
                          likeness.keys_rows(keys_function, '?', index_bound, version),
                          ' JOIN `', REPLACE(db, '`', '``'), '`.`', REPLACE(side, '`', '``'), '` s ON s.k = j.k)'),
                   '? IS NOT NULL'),
        ' HAVING ', likeness.within(kind, bound), ' ORDER BY score', IF(kind = 'edits', '', ' DESC'), ', t.', qid,
        IF(max_rows IS NULL, '', CONCAT(' LIMIT ', max_rows)));
  EXECUTE IMMEDIATE statement USING value, value;
  CALL likeness.tell_way('likeness.search', serves, side, db, tbl, 'a scan', why_not);
END//

-- Creates db.into_tbl (first, second: ids of the table, first < second;
-- score) and fills it with every pair of rows within the bound by the
-- measure, each once: through the self-join of an index that serves the
-- measure, else by a nested loop, which it refuses over more than 100,000
-- rows. One CREATE TABLE ... SELECT, which the server fills under a scratch
-- name and renames when it is whole: a failed or killed call leaves no
-- table, and may simply run again.
CREATE OR REPLACE PROCEDURE likeness.pairs(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    measure VARCHAR(64) CHARACTER SET utf8mb4, bound DOUBLE, into_tbl VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE kind VARCHAR(10);
  DECLARE serves, version INT;
  DECLARE side VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE keys_function VARCHAR(30);
  DECLARE index_bound VARCHAR(40);
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE id_type VARCHAR(200);
  DECLARE why_not VARCHAR(400) CHARACTER SET utf8mb4;
  DECLARE qtable, qside, pairs_of TEXT CHARACTER SET utf8mb4;
  CALL likeness.measure_kind('likeness.pairs', measure, bound, kind);
  IF EXISTS (SELECT 1 FROM information_schema.TABLES
             WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3)
               AND TABLE_NAME = CONVERT(into_tbl USING utf8mb3)) THEN
    CALL likeness.fail(CONCAT('likeness.pairs: ', db, '.', into_tbl, ' exists already'));
  END IF;
  SET qtable = CONCAT(likeness.quoted(db), '.', likeness.quoted(tbl));
  CALL likeness.serving_index(db, tbl, text_col, measure, kind, bound, serves, side, keys_function, index_bound,
                              version, id_col, why_not);
  IF serves THEN
    SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(side));
    SET pairs_of = CONCAT('(SELECT DISTINCT a.id AS first, b.id AS second FROM ', qside, ' a JOIN ', qside,
                          ' b ON b.k = a.k AND b.id > a.id) c JOIN ', qtable, ' x ON x.',
                          likeness.quoted(id_col), ' = c.first JOIN ', qtable, ' y ON y.', likeness.quoted(id_col),
                          ' = c.second');
  ELSE
    CALL likeness.id_column('likeness.pairs', db, tbl, text_col, id_col);
    EXECUTE IMMEDIATE CONCAT('SELECT COUNT(*) INTO @likeness_rows FROM ', qtable);
    IF @likeness_rows > 100000 THEN
      CALL likeness.fail(CONCAT('likeness.pairs: ', db, '.', tbl, ' has ', @likeness_rows,
        ' rows, too many for a nested loop; ', why_not));
    END IF;
    SET pairs_of = CONCAT(qtable, ' x JOIN ', qtable, ' y ON y.', likeness.quoted(id_col), ' > x.',
                          likeness.quoted(id_col));
  END IF;
  SELECT COLUMN_TYPE INTO id_type FROM information_schema.COLUMNS
    WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
      AND COLUMN_NAME = CONVERT(id_col USING utf8mb3);
  CALL likeness.run(CONCAT('CREATE TABLE ', likeness.quoted(db), '.', likeness.quoted(into_tbl), ' (first ', id_type,
    ' NOT NULL, second ', id_type, ' NOT NULL, score ', IF(kind = 'edits', 'BIGINT', 'DOUBLE'),
    ' NOT NULL, PRIMARY KEY (first, second)) SELECT x.', likeness.quoted(id_col), ' AS first, y.',
    likeness.quoted(id_col), ' AS second, ',
    likeness.score_of(measure, kind, CONCAT('x.', likeness.quoted(text_col)), CONCAT('y.', likeness.quoted(text_col)),
                      bound),
    ' AS score FROM ', pairs_of, ' HAVING ', likeness.within(kind, bound)));
  CALL likeness.tell_way('likeness.pairs', serves, side, db, tbl, 'a nested loop', why_not);
END//

DELIMITER ;
