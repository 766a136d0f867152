#!/usr/bin/env bash
# The index of sql/index.sql: over a random table (short words, their edits
# and swaps, multi-byte, broken UTF-8 and binary values, duplicates, empty
# values, NULLs, long values), lookups and deduplication through it return
# exactly the rows and pairs of a scan, for every k and both forms, both
# distances, and smaller bounds than the index's; random writes through the
# triggers leave it equal to a fresh build; drop_index leaves the table and
# its other triggers as they were; the documentation's SQL runs as written
# and prints what tests/sql/index-docs.result holds (RECORD=1 writes it).
#   index.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
private_dir dir index
server_with_functions "$dir" "$plugin_dir"
server_client "$dir" <"$likeness_root/sql/index.sql"
sql() { server_client "$dir" --database=test -NB "$@"; }

# Words of 0 to 11 letters over a, b, c, d; then edits of them.
word="REPLACE(REPLACE(REPLACE(REPLACE(LEFT(CONV(SUBSTRING(MD5(seq), 1, 12), 16, 4), seq % 12),
  '0', 'a'), '1', 'b'), '2', 'c'), '3', 'd')"
sql <<SQL
CREATE TABLE words (id INT AUTO_INCREMENT PRIMARY KEY, v VARBINARY(8000));
INSERT INTO words (v) SELECT $word FROM seq_1_to_150;
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
SQL
echo "a table of $(sql -e 'SELECT COUNT(*) FROM words') rows, $(sql -e 'SELECT COUNT(*) FROM probes') probes"

# The same question through the index and by a scan must answer alike.
same() {  # same WHAT INDEXED SCAN
  local indexed scan
  indexed=$(sql -e "$2")
  scan=$(sql -e "$3")
  [ -n "$scan" ] || fail "$1: the scan finds nothing, so the comparison proves nothing"
  expect "$1 through the index" "$scan" "$indexed"
}

candidates() {  # candidates VALUE_EXPRESSION KEYS_FUNCTION K: the ids sharing a key
  echo "SELECT DISTINCT s.id FROM JSON_TABLE($2($1, $3), '\$[*]' COLUMNS (k BIGINT PATH '\$')) j
        JOIN ix__v__keys s ON s.k = j.k"
}

for form in bytes utf8; do
  if [ "$form" = bytes ]; then keys=editdistance_keys; distances="editdistance_bounded editdistance_dl_bounded"
  else keys=editdistance_utf8_keys; distances="editdistance_utf8_bounded editdistance_dl_utf8_bounded"; fi
  for k in 0 1 2 3; do
    sql -e "DROP TABLE IF EXISTS ix; CREATE TABLE ix LIKE words; INSERT INTO ix SELECT * FROM words;
            CALL likeness.create_index('test', 'ix', 'id', 'v', $k, '$form')"
    rows=$(sql -e "SELECT COUNT(*) FROM ix__v__keys")
    for within in $distances; do
      for bound in $(seq 0 "$k"); do
        same "$form, k = $k, $within within $bound: lookups" \
          "SELECT p.pid, t.id FROM probes p JOIN ix t ON t.id IN ($(candidates p.v $keys $k))
             WHERE $within(t.v, p.v, $bound) <= $bound ORDER BY p.pid, t.id" \
          "SELECT p.pid, t.id FROM probes p JOIN ix t WHERE $within(t.v, p.v, $bound) <= $bound
             ORDER BY p.pid, t.id"
      done
      same "$form, k = $k, $within: deduplication" \
        "SELECT DISTINCT a.id, b.id FROM ix__v__keys a JOIN ix__v__keys b ON b.k = a.k AND b.id > a.id
           JOIN ix x ON x.id = a.id JOIN ix y ON y.id = b.id WHERE $within(x.v, y.v, $k) <= $k
           ORDER BY a.id, b.id" \
        "SELECT a.id, b.id FROM ix a JOIN ix b ON b.id > a.id WHERE $within(a.v, b.v, $k) <= $k
           ORDER BY a.id, b.id"
    done
    sql -e "CALL likeness.drop_index('test', 'ix', 'v')"
    echo "ok: $form, k = $k: lookups and deduplication as the scan's ($rows key rows)"
  done
done

# Writes through the triggers, beside a trigger of the table's own.
sql -e "DROP TABLE ix; CREATE TABLE ix LIKE words; INSERT INTO ix SELECT * FROM words;
  CREATE TABLE audit (n INT); INSERT INTO audit VALUES (0);
  CREATE TRIGGER ix_audit AFTER INSERT ON ix FOR EACH ROW UPDATE audit SET n = n + 1"
table_before=$(sql -e "SHOW CREATE TABLE ix")
sql -e "CALL likeness.create_index('test', 'ix', 'id', 'v', 2, 'utf8')"
sql <<'SQL'
UPDATE ix SET v = CONCAT(v, 'a') WHERE id % 7 = 0;
UPDATE ix SET id = id + 10000000 WHERE id % 11 = 0;
UPDATE ix SET v = NULL WHERE id % 13 = 0;
UPDATE ix SET v = 'abcd' WHERE v IS NULL AND id % 2 = 0;
UPDATE ix SET v = UPPER(v) WHERE id % 19 = 0;
DELETE FROM ix WHERE id % 23 = 0;
INSERT INTO ix SELECT id + 20000000, REVERSE(v) FROM words WHERE id % 5 = 0;
INSERT INTO ix VALUES (1, 'dcba') ON DUPLICATE KEY UPDATE v = 'dcba';
REPLACE INTO ix VALUES (2, 'abab'), (30000000, 'baba');
SQL
expect "check_index after random writes" $'1' "$(sql -e "CALL likeness.check_index('test', 'ix', 'v')" | cut -f5)"
expect "the table's own trigger" 1 "$(sql -e "SELECT n > 0 FROM audit")"
sql -e "TRUNCATE ix"
expect "check_index after TRUNCATE" 0 "$(sql -e "CALL likeness.check_index('test', 'ix', 'v')" | cut -f5)"
sql -e "INSERT INTO ix SELECT * FROM words; CALL likeness.rebuild_index('test', 'ix', 'v')"
expect "check_index after rebuild_index" 1 "$(sql -e "CALL likeness.check_index('test', 'ix', 'v')" | cut -f5)"
echo "ok: random writes kept the index exact; TRUNCATE is seen by check_index and mended by rebuild_index"

sql -e "CALL likeness.drop_index('test', 'ix', 'v')"
expect "the table after drop_index" "$table_before" "$(sql -e "SHOW CREATE TABLE ix")"
expect "the triggers after drop_index" ix_audit "$(sql -e "SELECT GROUP_CONCAT(TRIGGER_NAME) FROM
  information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = 'test'")"
expect "the tables after drop_index" "audit,ix,probes,words" "$(sql -e "SELECT GROUP_CONCAT(TABLE_NAME
  ORDER BY TABLE_NAME) FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'test'")"
echo "ok: drop_index left the table and its own trigger as they were"

# Refusals, and names that need quoting.
while IFS='|' read -r call message; do
  got=$( (sql -e "$call" 2>&1 || true) | tail -n 1 | sed 's/^ERROR 1644 (45000) at line 1: //')
  expect "$call" "$message" "$got"
done <<'CASES'
CALL likeness.create_index('test', 'nope', 'id', 'v', 1, 'bytes')|likeness.create_index: no table test.nope
CALL likeness.create_index('test', 'words', 'id', 'nope', 1, 'bytes')|likeness.create_index: no column nope in test.words
CALL likeness.create_index('test', 'words', 'v', 'v', 1, 'bytes')|likeness.create_index: v is not the single-column primary key of test.words
CALL likeness.create_index('test', 'words', 'id', 'v', 4, 'bytes')|likeness.create_index: k must be from 0 to 3, not 4
CALL likeness.create_index('test', 'words', 'id', 'v', 1, 'latin1')|likeness.create_index: form must be 'bytes' or 'utf8', not 'latin1'
CALL likeness.drop_index('test', 'words', 'v')|likeness: no index on test.words.v
CASES
sql -e "CREATE TABLE \`we\`\`ird; DROP TABLE words; --\` (\`i d k=9 function=x\` INT PRIMARY KEY, \`na\`\`me\` TEXT);
  INSERT INTO \`we\`\`ird; DROP TABLE words; --\` VALUES (1, 'MARTHA'), (2, 'MARHTA');
  CALL likeness.create_index('test', 'we\`ird; DROP TABLE words; --', 'i d k=9 function=x', 'na\`me', 1, 'bytes')"
expect "keys of a table whose names need quoting" 1 \
  "$(sql -e "CALL likeness.check_index('test', 'we\`ird; DROP TABLE words; --', 'na\`me')" | cut -f5)"
expect "words, after names that carried SQL" 1 "$(sql -e "SELECT COUNT(*) > 0 FROM words")"
sql -e "CALL likeness.create_index('test', 'words', 'id', 'v', 1, 'bytes')"
expect "a second index on the column" \
  "likeness.create_index: test.words__v__keys exists already (is the column indexed?)" \
  "$( (sql -e "CALL likeness.create_index('test', 'words', 'id', 'v', 2, 'utf8')" 2>&1 || true) |
      tail -n 1 | sed 's/^ERROR 1644 (45000) at line 1: //')"
echo "ok: refusals say why; names that need quoting work and run nothing"

# The documentation's SQL, as written, in a database of its own.
awk '/^```sql$/ { inside = 1; next } /^```$/ { inside = 0 } inside' \
  "$likeness_root/docs/index.md" >"$dir/docs.sql"
server_client "$dir" -e "CREATE DATABASE docs"
server_client "$dir" --database=docs --table <"$dir/docs.sql" >"$dir/docs.out"
if [ "${RECORD:-0}" = 1 ]; then
  cp "$dir/docs.out" "$here/index-docs.result"
else
  diff -u "$here/index-docs.result" "$dir/docs.out" || fail "the documentation's SQL printed other output"
fi
echo "ok: the documentation's SQL runs as written"
expect_no_crash "$dir"
