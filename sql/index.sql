-- The procedures of the database `likeness`, for MariaDB 10.6 or later
-- (JSON_TABLE); run this after install.sql. Safe to run again.
--
-- Three kinds of work over a text column of a table:
-- - exact candidate indexes, kept in side tables by triggers: one for
--   "within k edits", one for "jarowinkler at least a threshold";
-- - fuzzy search in one call, through an index that serves it or by a scan;
-- - joins in memory, through the library's join functions: every near pair
--   of one table (pairs), of two tables (link), and the clusters they make.
--
-- Sections: the catalog of kinds and measures, which every branch reads;
-- helpers; an index's identity; building an index; upkeep; queries; joins.
-- The public procedures are those docs/index.md names; every routine
-- marked "Internal." serves them and may change between releases.
--
-- The procedures run with the caller's rights (SQL SECURITY INVOKER); see
-- docs/index.md for what a caller needs. Read as UTF-8 whatever the
-- client's locale: the procedures are compiled in the character set they
-- were created with.
SET NAMES utf8mb4;
CREATE DATABASE IF NOT EXISTS likeness CHARACTER SET utf8mb4;
ALTER DATABASE likeness CHARACTER SET utf8mb4;

DELIMITER //

-- ---------------------------------------------------------------------------
-- The catalog
-- ---------------------------------------------------------------------------

-- Internal. Each form, kind of index and measure: for a form, the
-- expression of a value that its key functions and measures take ('{}' the
-- value); for a kind, the suffixes of its side table and triggers, its name
-- in messages, what its bound is called, the procedure that creates it, its
-- key function for each form, the newest version of its keys, the bounds
-- its keys serve, the direction in which a score is within the bound,
-- whether a bound is a whole number, and the type of a score; for a
-- measure, its kind, its form and the library's function that computes it
-- (over the form's expressions of the two values). The build checks it
-- against the library (sql/check_scripts.cpp): the limits against the
-- library's own, the functions against its table of functions; keep one
-- fact to a line.
CREATE OR REPLACE FUNCTION likeness.catalog()
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN '{
  "forms": {
    "bytes": {"value": "{}"},
    "utf8": {"value": "{}"},
    "folded": {"value": "fold_utf8({})"}
  },
  "kinds": {
    "edits": {
      "table": "keys",
      "triggers": "",
      "named": "",
      "bound_name": "k",
      "creator": "likeness.create_index",
      "functions": {"bytes": "editdistance_keys", "utf8": "editdistance_utf8_keys", "folded": "editdistance_utf8_keys"},
      "newest_version": 2,
      "least_keyed": 0,
      "most_keyed": 3,
      "within": "at most",
      "whole": true,
      "score": "BIGINT"
    },
    "similarity": {
      "table": "jw",
      "triggers": "jw_",
      "named": "similarity ",
      "bound_name": "threshold",
      "creator": "likeness.create_similarity_index",
      "functions": {"bytes": "jarowinkler_keys", "utf8": "jarowinkler_utf8_keys", "folded": "jarowinkler_utf8_keys"},
      "newest_version": 1,
      "least_keyed": 0.8,
      "most_keyed": 1,
      "within": "at least",
      "whole": false,
      "score": "DOUBLE"
    }
  },
  "measures": {
    "editdistance": {"kind": "edits", "form": "bytes", "function": "editdistance"},
    "editdistance_dl": {"kind": "edits", "form": "bytes", "function": "editdistance_dl"},
    "editdistance_utf8": {"kind": "edits", "form": "utf8", "function": "editdistance_utf8"},
    "editdistance_dl_utf8": {"kind": "edits", "form": "utf8", "function": "editdistance_dl_utf8"},
    "jaro": {"kind": "similarity", "form": "bytes", "function": "jaro"},
    "jarowinkler": {"kind": "similarity", "form": "bytes", "function": "jarowinkler"},
    "jaro_utf8": {"kind": "similarity", "form": "utf8", "function": "jaro_utf8"},
    "jarowinkler_utf8": {"kind": "similarity", "form": "utf8", "function": "jarowinkler_utf8"},
    "editdistance_folded": {"kind": "edits", "form": "folded", "function": "editdistance_utf8"},
    "editdistance_dl_folded": {"kind": "edits", "form": "folded", "function": "editdistance_dl_utf8"},
    "jaro_folded": {"kind": "similarity", "form": "folded", "function": "jaro_utf8"},
    "jarowinkler_folded": {"kind": "similarity", "form": "folded", "function": "jarowinkler_utf8"}
  }
}'//

-- Internal. A fact of a kind of index.
CREATE OR REPLACE FUNCTION likeness.kind_fact(kind VARCHAR(10), fact VARCHAR(20))
  RETURNS VARCHAR(64) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN JSON_VALUE(likeness.catalog(), CONCAT('$.kinds.', kind, '.', fact))//

-- Internal. A fact of a measure, NULL for a name that is none.
CREATE OR REPLACE FUNCTION likeness.measure_fact(measure VARCHAR(64) CHARACTER SET utf8mb4, fact VARCHAR(20))
  RETURNS VARCHAR(64) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN IF(JSON_CONTAINS(JSON_KEYS(likeness.catalog(), '$.measures'), JSON_QUOTE(measure)),
            JSON_VALUE(likeness.catalog(), CONCAT('$.measures.', measure, '.', fact)), NULL)//

-- Internal. The forms of a kind of index, as a JSON array.
CREATE OR REPLACE FUNCTION likeness.forms(kind VARCHAR(10))
  RETURNS TEXT DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN JSON_KEYS(likeness.catalog(), CONCAT('$.kinds.', kind, '.functions'))//

-- Internal. A value in a form: the expression that key functions and
-- measures take.
CREATE OR REPLACE FUNCTION likeness.in_form(form VARCHAR(16), value_expr TEXT CHARACTER SET utf8mb4)
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN REPLACE(JSON_VALUE(likeness.catalog(), CONCAT('$.forms.', form, '.value')), '{}', value_expr)//

-- Internal. The names of a JSON array in words: 'a', 'b' or 'c'.
CREATE OR REPLACE FUNCTION likeness.in_words(names TEXT CHARACTER SET utf8mb4)
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN REGEXP_REPLACE(REPLACE(REPLACE(REPLACE(names, '"', ''''), '[', ''), ']', ''), ', ([^,]*)$', ' or \\1')//

-- ---------------------------------------------------------------------------
-- Helpers
-- ---------------------------------------------------------------------------

-- Internal. Runs a statement built as text (CREATE TRIGGER, for one, is
-- refused in a procedure's body but runs this way).
CREATE OR REPLACE PROCEDURE likeness.run(statement LONGTEXT CHARACTER SET utf8mb4) SQL SECURITY INVOKER
  EXECUTE IMMEDIATE statement//

-- Internal. An identifier quoted for dynamic SQL: backticks, and a backtick
-- doubled.
CREATE OR REPLACE FUNCTION likeness.quoted(name VARCHAR(64) CHARACTER SET utf8mb4)
  RETURNS VARCHAR(130) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT('`', REPLACE(name, '`', '``'), '`')//

-- Internal.
CREATE OR REPLACE PROCEDURE likeness.fail(message VARCHAR(600) CHARACTER SET utf8mb4) SQL SECURITY INVOKER
  SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = message//

-- Internal. The warning that says which way a call went.
CREATE OR REPLACE PROCEDURE likeness.warn(message VARCHAR(600) CHARACTER SET utf8mb4) SQL SECURITY INVOKER
  SIGNAL SQLSTATE '01000' SET MESSAGE_TEXT = message//

-- Names are compared with information_schema in its own character set,
-- utf8mb3, which holds every identifier: in utf8mb4 the server reads every
-- table of every database to answer.

-- Internal. Whether db.tbl exists.
CREATE OR REPLACE FUNCTION likeness.table_exists(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4)
  RETURNS INT NOT DETERMINISTIC READS SQL DATA SQL SECURITY INVOKER
  RETURN EXISTS (SELECT 1 FROM information_schema.TABLES
                 WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3))//

-- Internal. The id column of a table that may be searched or joined: its
-- single-column primary key, after checking that the table and the text
-- column exist.
CREATE OR REPLACE PROCEDURE likeness.id_column(caller VARCHAR(40), db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    OUT id_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  IF NOT likeness.table_exists(db, tbl) THEN
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

-- Internal. A column's type as a table of results declares it: its type,
-- and for text its character set and collation.
CREATE OR REPLACE FUNCTION likeness.column_type(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, col VARCHAR(64) CHARACTER SET utf8mb4)
  RETURNS VARCHAR(400) CHARACTER SET utf8mb4 NOT DETERMINISTIC READS SQL DATA SQL SECURITY INVOKER
  RETURN (SELECT CONCAT(COLUMN_TYPE, IFNULL(CONCAT(' CHARACTER SET ', CHARACTER_SET_NAME, ' COLLATE ', COLLATION_NAME), ''))
          FROM information_schema.COLUMNS
          WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
            AND COLUMN_NAME = CONVERT(col USING utf8mb3))//

-- ---------------------------------------------------------------------------
-- An index's identity
-- ---------------------------------------------------------------------------

-- Internal. The names of an index of a kind on tbl.text_col: its side table
-- (part 'table') and its triggers ('ai', 'au', 'ad').
CREATE OR REPLACE FUNCTION likeness.side_name(tbl VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10), part VARCHAR(8))
  RETURNS VARCHAR(200) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT(tbl, '__', text_col, '__',
    IF(part = 'table', likeness.kind_fact(kind, 'table'), CONCAT(likeness.kind_fact(kind, 'triggers'), part)))//

-- Internal. What a side table's comment records of its index, which
-- find_index reads.
CREATE OR REPLACE FUNCTION likeness.index_comment(kind VARCHAR(10), form VARCHAR(16), bound VARCHAR(40),
    version INT, id_col VARCHAR(64) CHARACTER SET utf8mb4)
  RETURNS VARCHAR(300) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT('likeness index: kind=', kind, ' function=', likeness.kind_fact(kind, CONCAT('functions.', form)),
                ' form=', form, ' bound=', bound, ' version=', version, ' id=', id_col)//

-- Internal. An existing index of a kind, read from its side table's comment
-- "likeness index: kind=K function=F form=bytes|utf8|folded bound=B
-- version=V id=NAME" (or, from the first release, "likeness index:
-- function=F k=K id=NAME", whose form its function tells), the id column's
-- name, which may hold anything, last. Found is 0 when there is none.
CREATE OR REPLACE PROCEDURE likeness.find_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10),
    OUT found INT, OUT side VARCHAR(200) CHARACTER SET utf8mb4, OUT form VARCHAR(16),
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
      form = IF(note LIKE '% form=%', SUBSTRING_INDEX(SUBSTRING_INDEX(note, ' form=', -1), ' ', 1),
                IF(note LIKE '%function=editdistance_utf8_keys%', 'utf8', 'bytes')),
      bound = IF(note LIKE '% k=%', SUBSTRING_INDEX(note, ' k=', -1),
                 SUBSTRING_INDEX(SUBSTRING_INDEX(note, ' bound=', -1), ' ', 1)),
      version = IF(note LIKE '% k=%', 1, SUBSTRING_INDEX(note, ' version=', -1));
END//

-- Internal. The same, failing when there is none.
CREATE OR REPLACE PROCEDURE likeness.index_of(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10),
    OUT side VARCHAR(200) CHARACTER SET utf8mb4, OUT form VARCHAR(16), OUT bound VARCHAR(40),
    OUT version INT, OUT id_col VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE found INT;
  CALL likeness.find_index(db, tbl, text_col, kind, found, side, form, bound, version, id_col);
  IF NOT found THEN
    CALL likeness.fail(CONCAT('likeness: no ', likeness.kind_fact(kind, 'named'), 'index on ',
                              db, '.', tbl, '.', text_col));
  END IF;
END//

-- ---------------------------------------------------------------------------
-- Building an index
-- ---------------------------------------------------------------------------

-- Internal. The keys of an expression as a table j with one column k: the
-- key function of the kind and form, called with the value in its form,
-- the bound (k, or the threshold as the double it was given) and, past
-- version 1, the version.
CREATE OR REPLACE FUNCTION likeness.keys_rows(kind VARCHAR(10), form VARCHAR(16),
    value_expr TEXT CHARACTER SET utf8mb4, bound VARCHAR(40), version INT)
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT('JSON_TABLE(', likeness.kind_fact(kind, CONCAT('functions.', form)), '(',
    likeness.in_form(form, value_expr), ', ',
    IF(likeness.kind_fact(kind, 'whole') = 'true', bound, CONCAT('CAST(', QUOTE(bound), ' AS DOUBLE)')),
    IF(version > 1, CONCAT(', ', version), ''), '), ''$[*]'' COLUMNS (k BIGINT PATH ''$'')) j')//

-- Internal. The rows of a fresh build: every key of every row, INSERT
-- IGNORE into target (the side table, or a copy of its shape), in the order
-- of the keys, so that a side table larger than the buffer pool is written
-- from one end to the other rather than at random.
CREATE OR REPLACE PROCEDURE likeness.fill(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    id_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10), form VARCHAR(16), bound VARCHAR(40), version INT,
    target VARCHAR(300) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
  CALL likeness.run(CONCAT('INSERT IGNORE INTO ', target, ' (k, id) SELECT j.k, t.',
    likeness.quoted(id_col), ' FROM ', likeness.quoted(db), '.', likeness.quoted(tbl), ' t, ',
    likeness.keys_rows(kind, form, CONCAT('t.', likeness.quoted(text_col)), bound, version),
    ' ORDER BY j.k'))//

-- Internal. The checks every index makes before it is built; the caller
-- names itself in the messages.
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
    IF likeness.table_exists(db, name.n)
       OR EXISTS (SELECT 1 FROM information_schema.TRIGGERS
                  WHERE TRIGGER_SCHEMA = CONVERT(db USING utf8mb3)
                    AND TRIGGER_NAME = CONVERT(name.n USING utf8mb3)) THEN
      CALL likeness.fail(CONCAT(caller, ': ', db, '.', name.n, ' exists already (is the column indexed?)'));
    END IF;
  END FOR;
END//

-- Internal. The AFTER triggers that keep an index's side table exact,
-- created or replaced: they see the row as stored (an AUTO_INCREMENT id,
-- the text after BEFORE triggers), and write the keys of every version
-- from least_version to version, which holds the side table exact for each
-- while upgrade_index moves it from one to the next. A row's old keys are
-- removed by (k, id).
CREATE OR REPLACE PROCEDURE likeness.make_triggers(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10), form VARCHAR(16),
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
                         likeness.keys_rows(kind, form, CONCAT('NEW.', likeness.quoted(text_col)), bound, v), '; ');
    SET remove_old = CONCAT(remove_old, 'DELETE s FROM ', qside, ' s JOIN ',
                            likeness.keys_rows(kind, form, CONCAT('OLD.', likeness.quoted(text_col)), bound, v),
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

-- Internal. Builds an index of a kind: the side table, whose comment
-- records how its keys are made, the triggers that keep it exact, then its
-- rows.
CREATE OR REPLACE PROCEDURE likeness.build_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10), form VARCHAR(16),
    bound VARCHAR(40), version INT)
  SQL SECURITY INVOKER
BEGIN
  DECLARE qside VARCHAR(300) CHARACTER SET utf8mb4;
  SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(likeness.side_name(tbl, text_col, kind, 'table')));
  CALL likeness.run(CONCAT('CREATE TABLE ', qside, ' (k BIGINT NOT NULL, id ', likeness.column_type(db, tbl, id_col),
    ' NOT NULL, PRIMARY KEY (k, id)) ENGINE=InnoDB COMMENT=',
    QUOTE(likeness.index_comment(kind, form, bound, version, id_col))));
  CALL likeness.make_triggers(db, tbl, id_col, text_col, kind, form, bound, version, version);
  -- Filled after the triggers exist: a row written meanwhile is caught by
  -- one or the other, and INSERT IGNORE keeps each (k, id) once.
  CALL likeness.fill(db, tbl, text_col, id_col, kind, form, bound, version, qside);
END//

-- Internal. Checks a new index's form and bound, and builds it: with the
-- newest keys of its kind, or, when the session sets the test hook
-- @likeness_keys_version, with the keys of that version, as an earlier
-- release built them.
CREATE OR REPLACE PROCEDURE likeness.create_kind_index(caller VARCHAR(40), kind VARCHAR(10),
    db VARCHAR(64) CHARACTER SET utf8mb4, tbl VARCHAR(64) CHARACTER SET utf8mb4,
    id_col VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, bound DOUBLE,
    form VARCHAR(16) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE least DOUBLE DEFAULT likeness.kind_fact(kind, 'least_keyed');
  DECLARE most DOUBLE DEFAULT likeness.kind_fact(kind, 'most_keyed');
  IF form IS NULL OR NOT JSON_CONTAINS(likeness.forms(kind), JSON_QUOTE(form)) THEN
    CALL likeness.fail(CONCAT(caller, ': form must be ', likeness.in_words(likeness.forms(kind)), ', not ',
                              IFNULL(QUOTE(form), 'NULL')));
  END IF;
  IF bound IS NULL OR NOT (bound >= least AND bound <= most)
     OR (likeness.kind_fact(kind, 'whole') = 'true' AND bound <> FLOOR(bound)) THEN
    CALL likeness.fail(CONCAT(caller, ': ', likeness.kind_fact(kind, 'bound_name'), ' must be from ', least, ' to ',
                              most, ', not ', IFNULL(bound, 'NULL')));
  END IF;
  CALL likeness.check_indexable(caller, db, tbl, id_col, text_col, kind);
  CALL likeness.build_index(db, tbl, id_col, text_col, kind, form, CONCAT(bound),
                            IFNULL(@likeness_keys_version, likeness.kind_fact(kind, 'newest_version')));
END//

CREATE OR REPLACE PROCEDURE likeness.create_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, k INT, form VARCHAR(16) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
  CALL likeness.create_kind_index('likeness.create_index', 'edits', db, tbl, id_col, text_col, k, form)//

CREATE OR REPLACE PROCEDURE likeness.create_similarity_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    text_col VARCHAR(64) CHARACTER SET utf8mb4, threshold DOUBLE, form VARCHAR(16) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
  CALL likeness.create_kind_index('likeness.create_similarity_index', 'similarity', db, tbl, id_col, text_col,
                                  threshold, form)//

-- ---------------------------------------------------------------------------
-- Upkeep
-- ---------------------------------------------------------------------------

-- Internal. Removes the index of a kind: its side table and its three
-- triggers.
CREATE OR REPLACE PROCEDURE likeness.remove_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, kind VARCHAR(10))
  SQL SECURITY INVOKER
BEGIN
  DECLARE side VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE form VARCHAR(16);
  DECLARE bound VARCHAR(40);
  DECLARE version INT;
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  CALL likeness.index_of(db, tbl, text_col, kind, side, form, bound, version, id_col);
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
  DECLARE form VARCHAR(16);
  DECLARE bound VARCHAR(40);
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE qside, fresh, report VARCHAR(300) CHARACTER SET utf8mb4;
  -- In the table's own database, where the caller may create them.
  SET fresh = CONCAT(likeness.quoted(db), '.likeness_fresh_keys');
  SET report = CONCAT(likeness.quoted(db), '.likeness_index_check');
  CALL likeness.run(CONCAT('DROP TEMPORARY TABLE IF EXISTS ', report));
  CALL likeness.run(CONCAT('CREATE TEMPORARY TABLE ', report, ' (side_table VARCHAR(64) CHARACTER SET utf8mb4, ',
    'kind VARCHAR(10), side_rows BIGINT, fresh_rows BIGINT, missing BIGINT, spare BIGINT, version INT)'));
  FOR index_kind IN (SELECT kinds.kind FROM JSON_TABLE(JSON_KEYS(likeness.catalog(), '$.kinds'), '$[*]'
                                                       COLUMNS (kind VARCHAR(10) PATH '$')) kinds) DO
    CALL likeness.find_index(db, tbl, text_col, index_kind.kind, found, side, form, bound, version, id_col);
    IF found THEN
      SET checked = checked + 1;
      SET qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(side));
      CALL likeness.run(CONCAT('DROP TEMPORARY TABLE IF EXISTS ', fresh));
      CALL likeness.run(CONCAT('CREATE TEMPORARY TABLE ', fresh, ' LIKE ', qside));
      CALL likeness.fill(db, tbl, text_col, id_col, index_kind.kind, form, bound, version, fresh);
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

-- Internal. Renews each index of the column, failing when it has none:
-- 'rebuild' builds it anew with its kind, bound and key version; 'upgrade'
-- moves one whose keys are older than its kind's newest to the newest keys,
-- in place and answering exactly throughout. An upgrade first has the
-- triggers write the keys of both versions, adds the newest keys of every
-- row, turns the comment to the newest version, whose keys the procedures
-- then use, turns the triggers to the newest keys alone, and deletes the
-- older keys (version 1 keys of the edit-distance index are the
-- non-negative ones); one that stops (a kill, a right the caller lacks)
-- leaves the index exact, and is finished by upgrading again.
CREATE OR REPLACE PROCEDURE likeness.renew_indexes(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4, how VARCHAR(10))
  SQL SECURITY INVOKER
BEGIN
  DECLARE found, version, newest, indexes INT DEFAULT 0;
  DECLARE side VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE form VARCHAR(16);
  DECLARE bound VARCHAR(40);
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE qside VARCHAR(300) CHARACTER SET utf8mb4;
  FOR index_kind IN (SELECT kinds.kind FROM JSON_TABLE(JSON_KEYS(likeness.catalog(), '$.kinds'), '$[*]'
                                                       COLUMNS (kind VARCHAR(10) PATH '$')) kinds) DO
    CALL likeness.find_index(db, tbl, text_col, index_kind.kind, found, side, form, bound, version, id_col);
    SET indexes = indexes + found, newest = likeness.kind_fact(index_kind.kind, 'newest_version'),
        qside = CONCAT(likeness.quoted(db), '.', likeness.quoted(side));
    IF found AND how = 'rebuild' THEN
      CALL likeness.run(CONCAT('DELETE FROM ', qside));
      CALL likeness.fill(db, tbl, text_col, id_col, index_kind.kind, form, bound, version, qside);
    END IF;
    IF found AND how = 'upgrade' AND version < newest THEN
      CALL likeness.make_triggers(db, tbl, id_col, text_col, index_kind.kind, form, bound, version, newest);
      CALL likeness.fill(db, tbl, text_col, id_col, index_kind.kind, form, bound, newest, qside);
      CALL likeness.run(CONCAT('ALTER TABLE ', qside, ' COMMENT = ',
        QUOTE(likeness.index_comment(index_kind.kind, form, bound, newest, id_col))));
      CALL likeness.make_triggers(db, tbl, id_col, text_col, index_kind.kind, form, bound, newest, newest);
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

-- ---------------------------------------------------------------------------
-- Queries
-- ---------------------------------------------------------------------------

-- Internal. The kind of a measure ('edits' or 'similarity'), after
-- checking the measure and its bound: a distance's bound is a whole number
-- from 0 up, a similarity's from 0 to 1.
CREATE OR REPLACE PROCEDURE likeness.measure_kind(caller VARCHAR(40), measure VARCHAR(64) CHARACTER SET utf8mb4,
    bound DOUBLE, OUT kind VARCHAR(10))
  SQL SECURITY INVOKER
BEGIN
  -- One statement to decide and one to refuse: a search pays for every one.
  DECLARE problem VARCHAR(600) CHARACTER SET utf8mb4;
  SET kind = likeness.measure_fact(measure, 'kind'),
      problem = CASE
        WHEN kind IS NULL THEN
          CONCAT(caller, ': measure must be one of ',
                 REPLACE(REPLACE(REPLACE(JSON_KEYS(likeness.catalog(), '$.measures'), '"', ''), '[', ''), ']', ''),
                 ', not ', IFNULL(QUOTE(measure), 'NULL'))
        WHEN kind = 'edits' AND (bound IS NULL OR bound < 0 OR bound <> FLOOR(bound) OR bound >= 9.2e18) THEN
          CONCAT(caller, ': the bound of ', measure, ' is a whole number of edits from 0 up, not ',
                 IFNULL(bound, 'NULL'))
        WHEN kind = 'similarity' AND (bound IS NULL OR NOT (bound >= 0 AND bound <= 1)) THEN
          CONCAT(caller, ': the bound of ', measure, ' is a threshold from 0 to 1, not ', IFNULL(bound, 'NULL')) END;
  IF problem IS NOT NULL THEN
    CALL likeness.fail(problem);
  END IF;
END//

-- Internal. NULL when the keys of a kind serve a bound, else the bounds
-- they do not serve, in words.
CREATE OR REPLACE FUNCTION likeness.unkeyed(kind VARCHAR(10), bound DOUBLE)
  RETURNS VARCHAR(100) DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CASE
    WHEN kind = 'edits' AND bound > likeness.kind_fact(kind, 'most_keyed') THEN
      CONCAT('more than ', likeness.kind_fact(kind, 'most_keyed'), ' edits')
    WHEN kind = 'similarity' AND bound < likeness.kind_fact(kind, 'least_keyed') THEN
      CONCAT('a threshold below ', likeness.kind_fact(kind, 'least_keyed')) END//

-- Internal. The index that would serve a measure within a bound, in words.
CREATE OR REPLACE FUNCTION likeness.wanted_index(measure VARCHAR(64), kind VARCHAR(10), bound DOUBLE)
  RETURNS VARCHAR(200) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT(IF(kind = 'edits', CONCAT('an edit-distance index of k ', bound, ' to ',
                                          likeness.kind_fact(kind, 'most_keyed')),
                   CONCAT('a similarity index of threshold ', likeness.kind_fact(kind, 'least_keyed'), ' to ', bound)),
                ', form ''', likeness.measure_fact(measure, 'form'), ''' (', likeness.kind_fact(kind, 'creator'), ')')//

-- Internal. The index of the column that serves a measure within a bound,
-- if any: of the measure's kind and form, of k at least the bound (edits)
-- or of a threshold at most it (similarity). Read from the side table's
-- comment alone, so a search through an index looks at nothing else. Else
-- the reason none serves, for the warning of a scan.
CREATE OR REPLACE PROCEDURE likeness.serving_index(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    measure VARCHAR(64), kind VARCHAR(10), bound DOUBLE, OUT serves INT, OUT side VARCHAR(200) CHARACTER SET utf8mb4,
    OUT form VARCHAR(16), OUT index_bound VARCHAR(40), OUT version INT,
    OUT id_col VARCHAR(64) CHARACTER SET utf8mb4, OUT why_not VARCHAR(400) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE found INT;
  CALL likeness.find_index(db, tbl, text_col, kind, found, side, form, index_bound, version, id_col);
  SET serves = found AND form = likeness.measure_fact(measure, 'form')
               AND IF(likeness.kind_fact(kind, 'within') = 'at most', CAST(index_bound AS DOUBLE) >= bound,
                      CAST(index_bound AS DOUBLE) <= bound);
  IF NOT serves THEN
    SET why_not = COALESCE(CONCAT('no index serves ', likeness.unkeyed(kind, bound)),
      IF(found, CONCAT('its index ', side, ' (', likeness.kind_fact(kind, 'bound_name'), ' ', index_bound,
                       ', form ''', form, ''') does not serve; ',
                       likeness.wanted_index(measure, kind, bound), ' would serve'),
         CONCAT(likeness.wanted_index(measure, kind, bound), ' would serve')));
  END IF;
END//

-- Internal. A measure's score of two expressions, each in the measure's
-- form: the distance when at most the bound (the _bounded form, else
-- bound + 1), or the similarity.
CREATE OR REPLACE FUNCTION likeness.score_of(measure VARCHAR(64), kind VARCHAR(10), a TEXT CHARACTER SET utf8mb4,
    b TEXT CHARACTER SET utf8mb4, bound DOUBLE)
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT(likeness.measure_fact(measure, 'function'), IF(kind = 'edits', '_bounded(', '('),
                likeness.in_form(likeness.measure_fact(measure, 'form'), a), ', ',
                likeness.in_form(likeness.measure_fact(measure, 'form'), b),
                IF(kind = 'edits', CONCAT(', ', CAST(bound AS INTEGER)), ''), ')')//

-- Internal. The call of a measure's join function (pairs or clusters)
-- over an id and a text expression, its bound and cursor the parameters,
-- and more arguments after them.
CREATE OR REPLACE FUNCTION likeness.join_call(measure VARCHAR(64), what VARCHAR(10), id_expr TEXT CHARACTER SET utf8mb4,
    text_expr TEXT CHARACTER SET utf8mb4, more TEXT CHARACTER SET utf8mb4)
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT(likeness.measure_fact(measure, 'function'), '_', what, '(', id_expr, ', ',
                likeness.in_form(likeness.measure_fact(measure, 'form'), text_expr), ', ?, ?', more, ')')//

-- Internal. Whether a score is within the bound.
CREATE OR REPLACE FUNCTION likeness.within(kind VARCHAR(10), bound DOUBLE)
  RETURNS TEXT DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN IF(likeness.kind_fact(kind, 'within') = 'at most', CONCAT('score <= ', CAST(bound AS INTEGER)),
            CONCAT('score >= CAST(', QUOTE(CONCAT(bound)), ' AS DOUBLE)'))//

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
  DECLARE form VARCHAR(16);
  DECLARE index_bound VARCHAR(40);
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE why_not VARCHAR(600) CHARACTER SET utf8mb4;
  DECLARE qid, qtext VARCHAR(130) CHARACTER SET utf8mb4;
  DECLARE statement TEXT CHARACTER SET utf8mb4;
  CALL likeness.measure_kind('likeness.search', measure, bound, kind);
  IF max_rows < 0 THEN
    CALL likeness.fail(CONCAT('likeness.search: max_rows must be from 0 up, or NULL for all, not ', max_rows));
  END IF;
  CALL likeness.serving_index(db, tbl, text_col, measure, kind, bound, serves, side, form, index_bound,
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
                          likeness.keys_rows(kind, form, '?', index_bound, version),
                          ' JOIN `', REPLACE(db, '`', '``'), '`.`', REPLACE(side, '`', '``'), '` s ON s.k = j.k)'),
                   '? IS NOT NULL'),
        ' HAVING ', likeness.within(kind, bound), ' ORDER BY score',
        IF(likeness.kind_fact(kind, 'within') = 'at most', '', ' DESC'), ', t.', qid,
        IF(max_rows IS NULL, '', CONCAT(' LIMIT ', max_rows)));
  EXECUTE IMMEDIATE statement USING value, value;
  CALL likeness.warn(IF(serves, CONCAT('likeness.search: through the index ', db, '.', side),
                        CONCAT('likeness.search: by a scan of ', db, '.', tbl, '; ', why_not)));
END//

-- ---------------------------------------------------------------------------
-- Joins
-- ---------------------------------------------------------------------------

-- Internal. How a join takes the id column of db.tbl, by its type, so that
-- each id comes back byte for byte and in the column's own order: feed,
-- the expression that hands an id to a join function (integers, and bits,
-- enums and sets by number, which the join writes as JSON numbers; binary
-- strings as hex; text in utf8mb4, the character set of the result);
-- read_type, the type of a JSON_TABLE column that reads it back; as_id, an
-- expression of '{}', the column read, that makes it a value of the id
-- column's type and collation again, for comparing and storing; and id_type,
-- its type in a table of results. Enums and sets are in the order of their
-- numbers, as ORDER BY sorts them.
CREATE OR REPLACE PROCEDURE likeness.join_id(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, id_col VARCHAR(64) CHARACTER SET utf8mb4,
    OUT feed VARCHAR(200) CHARACTER SET utf8mb4, OUT read_type VARCHAR(400) CHARACTER SET utf8mb4,
    OUT as_id VARCHAR(200) CHARACTER SET utf8mb4, OUT id_type VARCHAR(400) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE id_data_type, id_charset, id_collation VARCHAR(64);
  DECLARE unsigned_id INT;
  DECLARE qid VARCHAR(200) CHARACTER SET utf8mb4 DEFAULT CONCAT('t.', likeness.quoted(id_col));
  -- Named apart from the columns they read: a routine's variables hide
  -- columns of the same name.
  SELECT DATA_TYPE, CHARACTER_SET_NAME, COLLATION_NAME, COLUMN_TYPE LIKE '%unsigned%'
    INTO id_data_type, id_charset, id_collation, unsigned_id
    FROM information_schema.COLUMNS
    WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3) AND TABLE_NAME = CONVERT(tbl USING utf8mb3)
      AND COLUMN_NAME = CONVERT(id_col USING utf8mb3);
  SET id_type = likeness.column_type(db, tbl, id_col), feed = qid, read_type = id_type, as_id = '{}';
  CASE
    WHEN id_data_type IN ('tinyint', 'smallint', 'mediumint', 'int', 'bigint', 'year') THEN
      SET read_type = IF(unsigned_id, 'BIGINT UNSIGNED', 'BIGINT');
    WHEN id_data_type IN ('bit', 'enum', 'set') THEN
      SET feed = CONCAT(qid, ' + 0'), read_type = 'BIGINT UNSIGNED';
    WHEN id_data_type = 'float' THEN
      -- Its text has too few digits to tell floats apart; a double's has
      -- enough.
      SET feed = CONCAT('CAST(', qid, ' AS DOUBLE)'), read_type = 'DOUBLE';
    WHEN id_data_type IN ('binary', 'varbinary', 'tinyblob', 'blob', 'mediumblob', 'longblob') THEN
      SET feed = CONCAT('HEX(', qid, ')'), read_type = 'TEXT CHARACTER SET ascii', as_id = 'UNHEX({})';
    WHEN id_charset IS NOT NULL THEN
      SET feed = CONCAT('CONVERT(', qid, ' USING utf8mb4)'), read_type = 'TEXT CHARACTER SET utf8mb4',
          as_id = CONCAT('CONVERT({} USING ', id_charset, ') COLLATE ', id_collation);
    WHEN id_data_type IN ('uuid', 'inet4', 'inet6') THEN
      -- Types of plugins, which JSON_TABLE does not know, nor a UNION with
      -- other types.
      SET feed = CONCAT('CAST(', qid, ' AS CHAR)'), read_type = 'TEXT CHARACTER SET ascii',
          as_id = CONCAT('CAST({} AS ', id_data_type, ')');
    ELSE
      BEGIN END;
  END CASE;
END//

-- Internal. An id read back by a join, as its column holds it.
CREATE OR REPLACE FUNCTION likeness.id_of(as_id VARCHAR(200) CHARACTER SET utf8mb4, col VARCHAR(20))
  RETURNS VARCHAR(220) CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN REPLACE(as_id, '{}', col)//

-- Internal. Refuses a table of results that exists.
CREATE OR REPLACE PROCEDURE likeness.refuse_existing(caller VARCHAR(40), db VARCHAR(64) CHARACTER SET utf8mb4,
    into_tbl VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  IF likeness.table_exists(db, into_tbl) THEN
    CALL likeness.fail(CONCAT(caller, ': ', db, '.', into_tbl, ' exists already'));
  END IF;
END//

-- Internal. Creates db.into_tbl with `columns` and fills it with every
-- row of a join: `call_text` is the join function over the rows of
-- `source`, its bound and cursor the two parameters, and its pieces list
-- chunks under `list`; `fill` selects the table's rows from the table
-- `chunks` (seq, chunk: a JSON array of rows). Every piece reads the rows
-- in one consistent snapshot (REPEATABLE READ, and only plain reads of the
-- rows), so rows written meanwhile never make a pair that no single state
-- of the table holds; its chunks wait in a temporary Aria table, which
-- nothing rolls back and no other connection sees. The table is then made
-- and filled by one CREATE ... SELECT, which the server makes whole or not
-- at all: a failed or killed call leaves no table behind, at whatever
-- moment it stops, and a kill ends it at once, where undoing millions of
-- inserted pairs row by row took minutes. Passes is the number of pieces,
-- each a read of the rows.
CREATE OR REPLACE PROCEDURE likeness.join_into(caller VARCHAR(40), db VARCHAR(64) CHARACTER SET utf8mb4,
    into_tbl VARCHAR(64) CHARACTER SET utf8mb4, columns TEXT CHARACTER SET utf8mb4,
    call_text TEXT CHARACTER SET utf8mb4, source TEXT CHARACTER SET utf8mb4, bound DOUBLE, list VARCHAR(10),
    fill TEXT CHARACTER SET utf8mb4, OUT passes INT)
  SQL SECURITY INVOKER
BEGIN
  DECLARE qchunks VARCHAR(200) CHARACTER SET utf8mb4 DEFAULT
    CONCAT(likeness.quoted(db), '.', likeness.quoted(CONCAT('likeness_chunks_', CONNECTION_ID())));
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    ROLLBACK;
    SET @likeness_piece = NULL, @likeness_cursor = NULL;
    CALL likeness.run(CONCAT('DROP TEMPORARY TABLE IF EXISTS ', qchunks));
    RESIGNAL;
  END;
  -- A call killed between two statements runs no handler: its chunks stay
  -- in the connection until the next join of it, or its end.
  CALL likeness.run(CONCAT('DROP TEMPORARY TABLE IF EXISTS ', qchunks));
  CALL likeness.run(CONCAT('CREATE TEMPORARY TABLE ', qchunks,
                           ' (seq INT AUTO_INCREMENT PRIMARY KEY, chunk LONGBLOB NOT NULL) ENGINE=Aria'));
  SET passes = 0, @likeness_cursor = NULL;
  SET TRANSACTION ISOLATION LEVEL REPEATABLE READ;
  START TRANSACTION WITH CONSISTENT SNAPSHOT;
  REPEAT
    EXECUTE IMMEDIATE CONCAT('SELECT ', call_text, ' INTO @likeness_piece FROM ', source) USING bound, @likeness_cursor;
    IF @likeness_piece IS NULL THEN
      CALL likeness.fail(CONCAT(caller, ': the join could not get the memory it needs'));
    END IF;
    CALL likeness.run(CONCAT('INSERT INTO ', qchunks, ' (chunk) SELECT j.chunk FROM JSON_TABLE(@likeness_piece, ''$.',
                             list, '[*]'' COLUMNS (chunk JSON PATH ''$'')) j'));
    SET @likeness_cursor = JSON_VALUE(@likeness_piece, '$.next'), passes = passes + 1;
  UNTIL @likeness_cursor IS NULL END REPEAT;
  SET @likeness_piece = NULL;
  COMMIT;
  CALL likeness.run(CONCAT('CREATE TABLE ', likeness.quoted(db), '.', likeness.quoted(into_tbl), ' (', columns,
                           ') ENGINE=InnoDB ', REPLACE(fill, '`chunks`', qchunks)));
  CALL likeness.run(CONCAT('DROP TEMPORARY TABLE ', qchunks));
END//

-- Internal. The warning of a join: the keys it went through, or that it
-- compared every pair, and its passes.
CREATE OR REPLACE PROCEDURE likeness.tell_join(caller VARCHAR(40), what TEXT CHARACTER SET utf8mb4,
    measure VARCHAR(64), kind VARCHAR(10), bound DOUBLE, passes INT)
  SQL SECURITY INVOKER
  CALL likeness.warn(CONCAT(caller, ': by a join in memory of ', what, ', ',
    IFNULL(CONCAT('comparing every pair of values (no keys serve ', likeness.unkeyed(kind, bound), ')'),
           CONCAT('through the keys ', likeness.kind_fact(kind, CONCAT('functions.', likeness.measure_fact(measure, 'form'))),
                  '(', likeness.in_form(likeness.measure_fact(measure, 'form'), 'value'), ', ',
                  IF(kind = 'edits', CONCAT(CAST(bound AS INTEGER), ', ', likeness.kind_fact(kind, 'newest_version')),
                     bound), ')')),
    ', in ', passes, IF(passes = 1, ' pass', ' passes')))//

-- Internal. The pairs of the chunks as JSON_TABLE reads them, and a
-- pair's score in a table of results.
CREATE OR REPLACE FUNCTION likeness.pair_columns(first_type VARCHAR(400) CHARACTER SET utf8mb4,
    second_type VARCHAR(400) CHARACTER SET utf8mb4, kind VARCHAR(10))
  RETURNS TEXT CHARACTER SET utf8mb4 DETERMINISTIC NO SQL SQL SECURITY INVOKER
  RETURN CONCAT('`chunks` c, JSON_TABLE(c.chunk, ''$[*]'' COLUMNS (a ', first_type, ' PATH ''$[0]'', b ',
                second_type, ' PATH ''$[1]'', score ', likeness.kind_fact(kind, 'score'), ' PATH ''$[2]'')) j')//

-- Creates db.into_tbl (first, second: ids of the table, first < second;
-- score) and fills it with every pair of rows within the bound by the
-- measure, each once, by a join in memory. A warning after the call says
-- how it went. A failed or killed call leaves no table, and may simply run
-- again.
CREATE OR REPLACE PROCEDURE likeness.pairs(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    measure VARCHAR(64) CHARACTER SET utf8mb4, bound DOUBLE, into_tbl VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE kind VARCHAR(20);
  DECLARE passes INT;
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE feed, as_id VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE read_type, id_type VARCHAR(400) CHARACTER SET utf8mb4;
  CALL likeness.measure_kind('likeness.pairs', measure, bound, kind);
  CALL likeness.refuse_existing('likeness.pairs', db, into_tbl);
  CALL likeness.id_column('likeness.pairs', db, tbl, text_col, id_col);
  CALL likeness.join_id(db, tbl, id_col, feed, read_type, as_id, id_type);
  CALL likeness.join_into('likeness.pairs', db, into_tbl,
    CONCAT('first ', id_type, ' NOT NULL, second ', id_type, ' NOT NULL, score ',
           likeness.kind_fact(kind, 'score'), ' NOT NULL, PRIMARY KEY (first, second)'),
    likeness.join_call(measure, 'pairs', feed, CONCAT('t.', likeness.quoted(text_col)), ''),
    CONCAT(likeness.quoted(db), '.', likeness.quoted(tbl), ' t'), bound, 'pairs',
    CONCAT('SELECT IF(p.a < p.b, p.a, p.b) AS first, IF(p.a < p.b, p.b, p.a) AS second, ',
           'p.score FROM (SELECT ', likeness.id_of(as_id, 'j.a'), ' AS a, ', likeness.id_of(as_id, 'j.b'),
           ' AS b, j.score FROM ', likeness.pair_columns(read_type, read_type, kind), ') p'),
    passes);
  CALL likeness.tell_join('likeness.pairs', CONCAT(db, '.', tbl), measure, kind, bound, passes);
END//

-- Creates db.into_tbl (first: an id of left_tbl, second: an id of
-- right_tbl; score) and fills it with every pair of a left and a right row
-- within the bound by the measure, each once, by a join in memory. The two
-- text columns are compared as their bytes are, whatever their types and
-- character sets; a _utf8 or _folded measure refuses text in another
-- character set than UTF-8.
CREATE OR REPLACE PROCEDURE likeness.link(db VARCHAR(64) CHARACTER SET utf8mb4,
    left_tbl VARCHAR(64) CHARACTER SET utf8mb4, left_col VARCHAR(64) CHARACTER SET utf8mb4,
    right_tbl VARCHAR(64) CHARACTER SET utf8mb4, right_col VARCHAR(64) CHARACTER SET utf8mb4,
    measure VARCHAR(64) CHARACTER SET utf8mb4, bound DOUBLE, into_tbl VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE kind VARCHAR(20);
  DECLARE passes INT;
  DECLARE left_id, right_id VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE left_feed, right_feed, left_as_id, right_as_id VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE left_read, left_type, right_read, right_type VARCHAR(400) CHARACTER SET utf8mb4;
  CALL likeness.measure_kind('likeness.link', measure, bound, kind);
  CALL likeness.refuse_existing('likeness.link', db, into_tbl);
  CALL likeness.id_column('likeness.link', db, left_tbl, left_col, left_id);
  CALL likeness.id_column('likeness.link', db, right_tbl, right_col, right_id);
  FOR text_column IN (SELECT TABLE_NAME AS t, COLUMN_NAME AS c, CHARACTER_SET_NAME AS cs FROM information_schema.COLUMNS
                      WHERE TABLE_SCHEMA = CONVERT(db USING utf8mb3)
                        AND ((TABLE_NAME = CONVERT(left_tbl USING utf8mb3) AND COLUMN_NAME = CONVERT(left_col USING utf8mb3))
                          OR (TABLE_NAME = CONVERT(right_tbl USING utf8mb3) AND COLUMN_NAME = CONVERT(right_col USING utf8mb3))))
  DO
    -- Binary strings are taken as they are, as by pairs and search.
    IF likeness.measure_fact(measure, 'form') <> 'bytes' AND text_column.cs NOT IN ('utf8mb3', 'utf8mb4') THEN
      CALL likeness.fail(CONCAT('likeness.link: ', measure, ' compares UTF-8 text, and ', db, '.', text_column.t, '.',
                                text_column.c, ' is ', text_column.cs));
    END IF;
  END FOR;
  CALL likeness.join_id(db, left_tbl, left_id, left_feed, left_read, left_as_id, left_type);
  CALL likeness.join_id(db, right_tbl, right_id, right_feed, right_read, right_as_id, right_type);
  CALL likeness.join_into('likeness.link', db, into_tbl,
    CONCAT('first ', left_type, ' NOT NULL, second ', right_type, ' NOT NULL, score ',
           likeness.kind_fact(kind, 'score'), ' NOT NULL, PRIMARY KEY (first, second)'),
    likeness.join_call(measure, 'pairs', 'x.id', 'x.v', ', x.side'),
    CONCAT('(SELECT ', left_feed, ' AS id, CAST(t.', likeness.quoted(left_col), ' AS BINARY) AS v, 0 AS side FROM ',
           likeness.quoted(db), '.', likeness.quoted(left_tbl), ' t UNION ALL SELECT ', right_feed, ', CAST(t.',
           likeness.quoted(right_col), ' AS BINARY), 1 FROM ', likeness.quoted(db), '.', likeness.quoted(right_tbl),
           ' t) x'),
    bound, 'pairs',
    CONCAT('SELECT ', likeness.id_of(left_as_id, 'j.a'), ' AS first, ',
           likeness.id_of(right_as_id, 'j.b'), ' AS second, j.score FROM ', likeness.pair_columns(left_read, right_read, kind)),
    passes);
  CALL likeness.tell_join('likeness.link', CONCAT(db, '.', left_tbl, ' and ', db, '.', right_tbl), measure, kind,
                          bound, passes);
END//

-- Creates db.into_tbl (id, cluster) with a row for every row of tbl whose
-- text_col is not NULL: cluster is the least id of the row's connected
-- component in the graph of pairs within the bound (single linkage), so a
-- row of no pair is a cluster of its own. By a join in memory; a failed or
-- killed call leaves no table.
CREATE OR REPLACE PROCEDURE likeness.clusters(db VARCHAR(64) CHARACTER SET utf8mb4,
    tbl VARCHAR(64) CHARACTER SET utf8mb4, text_col VARCHAR(64) CHARACTER SET utf8mb4,
    measure VARCHAR(64) CHARACTER SET utf8mb4, bound DOUBLE, into_tbl VARCHAR(64) CHARACTER SET utf8mb4)
  SQL SECURITY INVOKER
BEGIN
  DECLARE kind VARCHAR(20);
  DECLARE passes INT;
  DECLARE id_col VARCHAR(64) CHARACTER SET utf8mb4;
  DECLARE feed, as_id VARCHAR(200) CHARACTER SET utf8mb4;
  DECLARE read_type, id_type VARCHAR(400) CHARACTER SET utf8mb4;
  DECLARE rows_of TEXT CHARACTER SET utf8mb4;
  CALL likeness.measure_kind('likeness.clusters', measure, bound, kind);
  CALL likeness.refuse_existing('likeness.clusters', db, into_tbl);
  CALL likeness.id_column('likeness.clusters', db, tbl, text_col, id_col);
  CALL likeness.join_id(db, tbl, id_col, feed, read_type, as_id, id_type);
  -- A row alone, without a label, is its own cluster; another's cluster is
  -- the least id of its label's rows, the first by the id column's order
  -- (MIN() OVER a partition took time quadratic in its rows). Rows alone
  -- are most of a table at a strict bound: they bypass the sort.
  SET rows_of = CONCAT('(SELECT ', likeness.id_of(as_id, 'j.id'), ' AS id, j.label FROM `chunks` c, JSON_TABLE(',
                       'c.chunk, ''$[*]'' COLUMNS (id ', read_type, ' PATH ''$[0]'', label BIGINT PATH ''$[1]'')) j) r');
  CALL likeness.join_into('likeness.clusters', db, into_tbl,
    CONCAT('id ', id_type, ' NOT NULL PRIMARY KEY, cluster ', id_type, ' NOT NULL'),
    likeness.join_call(measure, 'clusters', feed, CONCAT('t.', likeness.quoted(text_col)), ''),
    CONCAT(likeness.quoted(db), '.', likeness.quoted(tbl), ' t'), bound, 'clusters',
    CONCAT('SELECT r.id, r.id AS cluster FROM ', rows_of, ' WHERE r.label IS NULL UNION ALL ',
           'SELECT r.id, FIRST_VALUE(r.id) OVER (PARTITION BY r.label ORDER BY r.id) FROM ', rows_of,
           ' WHERE r.label IS NOT NULL'),
    passes);
  CALL likeness.tell_join('likeness.clusters', CONCAT(db, '.', tbl), measure, kind, bound, passes);
END//

DELIMITER ;
