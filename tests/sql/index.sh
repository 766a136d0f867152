#!/usr/bin/env bash
# The indexes of sql/index.sql: over a random table (short words, their edits
# and swaps, multi-byte, broken UTF-8 and binary values, duplicates, empty
# values, NULLs, long values), lookups and deduplication through them return
# exactly the rows and pairs of a scan: for every k, every form (bytes,
# utf8, and folded values), both distances and smaller bounds than the
# index's; for thresholds across the range, every form, jarowinkler and
# jaro, and higher thresholds than the index's. Random writes through the
# triggers leave both kinds equal to a fresh build, in every form, and
# searches through folded indexes equal to the scan; each drop leaves the
# table, the other index and the table's
# own trigger as they were; an index of the first release keeps working; an
# index of version 1 keys keeps answering exactly through its documented
# queries and the procedures and keeps its version through rebuild_index,
# and upgrade_index moves it to version 2, exactly throughout, while rows
# are written; the documentation's SQL runs as written and prints what
# tests/sql/index-docs.result holds (RECORD=1 writes it).
#   index.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
private_dir dir index
server_with_functions "$dir" "$plugin_dir"
server_client "$dir" <"$likeness_root/sql/index.sql"
sql() { server_client "$dir" --database=test -NB "$@"; }

sql <"$here/words.sql"
echo "a table of $(sql -e 'SELECT COUNT(*) FROM words') rows, $(sql -e 'SELECT COUNT(*) FROM probes') probes"

# The same question through the index and by a scan must answer alike.
same() {  # same WHAT INDEXED SCAN
  local indexed scan
  indexed=$(sql -e "$2")
  scan=$(sql -e "$3")
  [ -n "$scan" ] || fail "$1: the scan finds nothing, so the comparison proves nothing"
  expect "$1 through the index" "$scan" "$indexed"
}

# A value expression in the index's form: folded, or as it is.
in_form() { if [ "$form" = folded ]; then echo "fold_utf8($1)"; else echo "$1"; fi; }
candidates() {  # candidates VALUE_EXPRESSION KEYS_FUNCTION K [VERSION]: the ids sharing a key
  echo "SELECT DISTINCT s.id FROM JSON_TABLE($2($1, $3${4:+, $4}), '\$[*]' COLUMNS (k BIGINT PATH '\$')) j
        JOIN ix__v__keys s ON s.k = j.k"
}
lookups_as_scan() {  # WHAT KEYS_FUNCTION K DISTANCE [VERSION]: probes through ix__v__keys against the scan
  same "$1" \
    "SELECT p.pid, t.id FROM probes p JOIN ix t ON t.id IN ($(candidates p.v "$2" "$3" "${5:-}"))
       WHERE $4(t.v, p.v, $3) <= $3 ORDER BY p.pid, t.id" \
    "SELECT p.pid, t.id FROM probes p JOIN ix t WHERE $4(t.v, p.v, $3) <= $3 ORDER BY p.pid, t.id"
}

for form in bytes utf8 folded; do
  if [ "$form" = bytes ]; then keys=editdistance_keys; distances="editdistance_bounded editdistance_dl_bounded"
  else keys=editdistance_utf8_keys; distances="editdistance_utf8_bounded editdistance_dl_utf8_bounded"; fi
  ks="0 1 2 3"
  [ "$form" = folded ] && ks="1 2"
  for k in $ks; do
    sql -e "DROP TABLE IF EXISTS ix; CREATE TABLE ix LIKE words; INSERT INTO ix SELECT * FROM words;
            CALL likeness.create_index('test', 'ix', 'id', 'v', $k, '$form')"
    rows=$(sql -e "SELECT COUNT(*) FROM ix__v__keys")
    for within in $distances; do
      for bound in $(seq 0 "$k"); do
        same "$form, k = $k, $within within $bound: lookups" \
          "SELECT p.pid, t.id FROM probes p JOIN ix t ON t.id IN ($(candidates "$(in_form p.v)" $keys $k 2))
             WHERE $within($(in_form t.v), $(in_form p.v), $bound) <= $bound ORDER BY p.pid, t.id" \
          "SELECT p.pid, t.id FROM probes p JOIN ix t WHERE $within($(in_form t.v), $(in_form p.v), $bound) <= $bound
             ORDER BY p.pid, t.id"
      done
      same "$form, k = $k, $within: deduplication" \
        "SELECT DISTINCT a.id, b.id FROM ix__v__keys a JOIN ix__v__keys b ON b.k = a.k AND b.id > a.id
           JOIN ix x ON x.id = a.id JOIN ix y ON y.id = b.id WHERE $within($(in_form x.v), $(in_form y.v), $k) <= $k
           ORDER BY a.id, b.id" \
        "SELECT a.id, b.id FROM ix a JOIN ix b ON b.id > a.id WHERE $within($(in_form a.v), $(in_form b.v), $k) <= $k
           ORDER BY a.id, b.id"
    done
    sql -e "CALL likeness.drop_index('test', 'ix', 'v')"
    echo "ok: $form, k = $k: lookups and deduplication as the scan's ($rows key rows)"
  done
done

similarity_candidates() {  # VALUE_EXPRESSION KEYS_FUNCTION THRESHOLD: the ids sharing a key
  echo "SELECT DISTINCT s.id FROM JSON_TABLE($2($1, $3), '\$[*]' COLUMNS (k BIGINT PATH '\$')) j
        JOIN ix__v__jw s ON s.k = j.k"
}

for form in bytes utf8 folded; do
  case $form in
    bytes) keys=jarowinkler_keys measures="jarowinkler jaro" thresholds="0.8 0.9" ;;
    utf8) keys=jarowinkler_utf8_keys measures="jarowinkler_utf8 jaro_utf8" thresholds="0.85 0.95" ;;
    folded) keys=jarowinkler_utf8_keys measures="jarowinkler_utf8 jaro_utf8" thresholds="0.85" ;;
  esac
  for threshold in $thresholds; do
    sql -e "DROP TABLE IF EXISTS ix; CREATE TABLE ix LIKE words; INSERT INTO ix SELECT * FROM words;
            CALL likeness.create_similarity_index('test', 'ix', 'id', 'v', $threshold, '$form')"
    rows=$(sql -e "SELECT COUNT(*) FROM ix__v__jw")
    for measure in $measures; do
      for at_least in $threshold 0.97; do
        same "$form, threshold $threshold, $measure >= $at_least: lookups" \
          "SELECT p.pid, t.id FROM probes p JOIN ix t ON t.id IN ($(similarity_candidates "$(in_form p.v)" $keys $threshold))
             WHERE $measure($(in_form t.v), $(in_form p.v)) >= $at_least ORDER BY p.pid, t.id" \
          "SELECT p.pid, t.id FROM probes p JOIN ix t WHERE $measure($(in_form t.v), $(in_form p.v)) >= $at_least
             ORDER BY p.pid, t.id"
      done
      same "$form, threshold $threshold, $measure: all pairs" \
        "SELECT DISTINCT a.id, b.id FROM ix__v__jw a JOIN ix__v__jw b ON b.k = a.k AND b.id > a.id
           JOIN ix x ON x.id = a.id JOIN ix y ON y.id = b.id WHERE $measure($(in_form x.v), $(in_form y.v)) >= $threshold
           ORDER BY a.id, b.id" \
        "SELECT a.id, b.id FROM ix a JOIN ix b ON b.id > a.id WHERE $measure($(in_form a.v), $(in_form b.v)) >= $threshold
           ORDER BY a.id, b.id"
    done
    sql -e "CALL likeness.drop_similarity_index('test', 'ix', 'v')"
    echo "ok: $form, threshold $threshold: lookups and pairs as the scan's ($rows key rows)"
  done
done

# Writes through the triggers, beside a trigger of the table's own.
sql -e "DROP TABLE ix; CREATE TABLE ix LIKE words; INSERT INTO ix SELECT * FROM words;
  CREATE TABLE audit (n INT); INSERT INTO audit VALUES (0);
  CREATE TRIGGER ix_audit AFTER INSERT ON ix FOR EACH ROW UPDATE audit SET n = n + 1"
table_before=$(sql -e "SHOW CREATE TABLE ix")
sql -e "CALL likeness.create_index('test', 'ix', 'id', 'v', 2, 'utf8');
  CALL likeness.create_similarity_index('test', 'ix', 'id', 'v', 0.85, 'bytes')"
random_writes() {  # TABLE
  sql <<SQL
UPDATE $1 SET v = CONCAT(v, 'a') WHERE id % 7 = 0;
UPDATE $1 SET id = id + 10000000 WHERE id % 11 = 0;
UPDATE $1 SET v = NULL WHERE id % 13 = 0;
UPDATE $1 SET v = 'abcd' WHERE v IS NULL AND id % 2 = 0;
UPDATE $1 SET v = UPPER(v) WHERE id % 19 = 0;
DELETE FROM $1 WHERE id % 23 = 0;
INSERT INTO $1 SELECT id + 20000000, REVERSE(v) FROM words WHERE id % 5 = 0;
INSERT INTO $1 VALUES (1, 'dcba') ON DUPLICATE KEY UPDATE v = 'dcba';
REPLACE INTO $1 VALUES (2, 'abab'), (30000000, 'baba');
SQL
}
random_writes ix
# check_index: a line per index, "kind consistent".
checked() { sql -e "CALL likeness.check_index('test', '${1:-ix}', '${2:-v}')" | cut -f2,7 | tr '\t\n' ': ' | sed 's/ $//'; }
expect "check_index after random writes" "edits:1 similarity:1" "$(checked)"
expect "the table's own trigger" 1 "$(sql -e "SELECT n > 0 FROM audit")"
sql -e "TRUNCATE ix"
expect "check_index after TRUNCATE" "edits:0 similarity:0" "$(checked)"
sql -e "INSERT INTO ix SELECT * FROM words; CALL likeness.rebuild_index('test', 'ix', 'v')"
expect "check_index after rebuild_index" "edits:1 similarity:1" "$(checked)"
expect "the similarity index's threshold after rebuild_index" \
  "likeness index: kind=similarity function=jarowinkler_keys form=bytes bound=0.85 version=1 id=id" \
  "$(sql -e "SELECT TABLE_COMMENT FROM information_schema.TABLES WHERE TABLE_NAME = 'ix__v__jw'")"
echo "ok: random writes kept both indexes exact; TRUNCATE is seen by check_index and mended by rebuild_index"

# The same writes under folded indexes of both kinds: each stays equal to a
# fresh build, and searches through them answer as scans of the folded
# measures.
sql -e "CREATE TABLE fx LIKE words; INSERT INTO fx SELECT * FROM words;
  CALL likeness.create_index('test', 'fx', 'id', 'v', 2, 'folded');
  CALL likeness.create_similarity_index('test', 'fx', 'id', 'v', 0.85, 'folded')"
random_writes fx
expect "check_index of folded indexes after random writes" "edits:1 similarity:1" "$(checked fx)"
searches="" scans=""
for p in $(sql -e "SELECT pid FROM probes WHERE pid % 4 = 0"); do
  probe="(SELECT v FROM probes WHERE pid = $p)"
  searches+="CALL likeness.search('test', 'fx', 'v', 'editdistance_dl_folded', 2, $probe, NULL);
             CALL likeness.search('test', 'fx', 'v', 'jaro_folded', 0.9, $probe, NULL);"
  scans+="SELECT id, v, editdistance_dl_utf8_bounded(fold_utf8(v), fold_utf8($probe), 2) AS score FROM fx
            HAVING score <= 2 ORDER BY score, id;
          SELECT id, v, jaro_utf8(fold_utf8(v), fold_utf8($probe)) AS score FROM fx
            HAVING score >= 0.9 ORDER BY score DESC, id;"
done
same "searches through folded indexes after random writes" "$searches" "$scans"
expect "the way those searches went" "through the index" \
  "$(sql -e "$searches SHOW WARNINGS" | sed -n 's/^Warning\t1642\tlikeness\.search: \(through the index\|by a scan\).*/\1/p' | sort -u)"
sql -e "CALL likeness.drop_index('test', 'fx', 'v'); CALL likeness.drop_similarity_index('test', 'fx', 'v'); DROP TABLE fx"
echo "ok: random writes kept folded indexes exact, and searches through them answer as the scan"

triggers() { sql -e "SELECT GROUP_CONCAT(TRIGGER_NAME ORDER BY BINARY TRIGGER_NAME) FROM information_schema.TRIGGERS
  WHERE TRIGGER_SCHEMA = 'test'"; }
tables() { sql -e "SELECT GROUP_CONCAT(TABLE_NAME ORDER BY BINARY TABLE_NAME) FROM information_schema.TABLES
  WHERE TABLE_SCHEMA = 'test'"; }
sql -e "CALL likeness.drop_index('test', 'ix', 'v')"
expect "the triggers after drop_index" "ix__v__jw_ad,ix__v__jw_ai,ix__v__jw_au,ix_audit" "$(triggers)"
expect "the tables after drop_index" "audit,ix,ix__v__jw,probes,words" "$(tables)"
expect "check_index after drop_index" "similarity:1" "$(checked)"
sql -e "CALL likeness.create_index('test', 'ix', 'id', 'v', 1, 'bytes'); CALL likeness.drop_similarity_index('test', 'ix', 'v')"
expect "the triggers after drop_similarity_index" "ix__v__ad,ix__v__ai,ix__v__au,ix_audit" "$(triggers)"
expect "check_index after drop_similarity_index" "edits:1" "$(checked)"
sql -e "CALL likeness.drop_index('test', 'ix', 'v')"
expect "the table after both drops" "$table_before" "$(sql -e "SHOW CREATE TABLE ix")"
expect "the tables after both drops" "audit,ix,probes,words" "$(tables)"
echo "ok: each drop left the table, the other index and the table's own trigger as they were"

# An index built by the first release: its side table's comment read
# "function=F k=K id=NAME"; it keeps answering, checking and rebuilding.
sql -e "SET @likeness_keys_version = 1; CALL likeness.create_index('test', 'ix', 'id', 'v', 1, 'utf8');
  ALTER TABLE ix__v__keys COMMENT = 'likeness index: function=editdistance_utf8_keys k=1 id=id';
  UPDATE ix SET v = CONCAT(v, 'b') WHERE id % 3 = 0; CALL likeness.rebuild_index('test', 'ix', 'v')"
expect "check_index of a first-release index" "edits:1" "$(checked)"
sql -e "CALL likeness.upgrade_index('test', 'ix', 'v')"
expect "a first-release index after upgrade_index" \
  "likeness index: kind=edits function=editdistance_utf8_keys form=utf8 bound=1 version=2 id=id" \
  "$(sql -e "SELECT TABLE_COMMENT FROM information_schema.TABLES WHERE TABLE_NAME = 'ix__v__keys'")"
expect "check_index of a first-release index after upgrade_index" "edits:1" "$(checked)"
sql -e "CALL likeness.drop_index('test', 'ix', 'v')"
expect "the tables after dropping a first-release index" "audit,ix,probes,words" "$(tables)"
echo "ok: an index of the first release is checked, rebuilt, upgraded and dropped"

# An index of version 1 keys, as the releases before version 2 built it.
# check_index: a line per index, "kind consistent version".
versions() { sql -e "CALL likeness.check_index('test', 'ix', 'v')" | cut -f2,7,8 | tr '\t\n' ': ' | sed 's/ $//'; }
search_as_scan() {  # WHAT: likeness.search for every probe against the scan
  local calls="" scans="" p
  for p in $(sql -e "SELECT pid FROM probes WHERE pid % 5 = 0"); do
    calls+="CALL likeness.search('test', 'ix', 'v', 'editdistance_utf8', 2, (SELECT v FROM probes WHERE pid = $p), NULL);"
    scans+="SELECT id, v, editdistance_utf8_bounded(v, (SELECT v FROM probes WHERE pid = $p), 2) AS score FROM ix
             HAVING score <= 2 ORDER BY score, id;"
  done
  same "$1: search" "$calls" "$scans"
  sql -e "DROP TABLE IF EXISTS found_pairs; CALL likeness.pairs('test', 'ix', 'v', 'editdistance_dl_utf8', 2, 'found_pairs')"
  same "$1: pairs" "SELECT first, second, score FROM found_pairs ORDER BY first, second" \
    "SELECT a.id, b.id, editdistance_dl_utf8_bounded(a.v, b.v, 2) AS score FROM ix a JOIN ix b ON b.id > a.id
       HAVING score <= 2 ORDER BY a.id, b.id"
  sql -e "DROP TABLE found_pairs"
}
sql -e "SET @likeness_keys_version = 1; CALL likeness.create_index('test', 'ix', 'id', 'v', 2, 'utf8');
  UPDATE ix SET v = CONCAT('b', v) WHERE id % 4 = 1; DELETE FROM ix WHERE id % 9 = 4"
lookups_as_scan "version 1, the documented query" editdistance_utf8_keys 2 editdistance_dl_utf8_bounded
search_as_scan "version 1"
sql -e "TRUNCATE ix; INSERT INTO ix SELECT * FROM words WHERE id % 9 <> 4; CALL likeness.rebuild_index('test', 'ix', 'v')"
expect "check_index of version 1 after rebuild_index" "edits:1:1" "$(versions)"
lookups_as_scan "version 1 after rebuild_index" editdistance_utf8_keys 2 editdistance_utf8_bounded
# Writes while the index moves to version 2 are kept in both versions' keys.
writes() {
  local n
  for n in $(seq 1 40); do
    sql -e "UPDATE ix SET v = CONCAT(v, 'c') WHERE id % 40 = $n; DELETE FROM ix WHERE id = $((n * 13));
      INSERT INTO ix VALUES ($((40000000 + n)), 'dcbadcba')"
  done
}
writes &
writer=$!
sql -e "CALL likeness.upgrade_index('test', 'ix', 'v')"
wait "$writer"
expect "check_index after upgrade_index" "edits:1:2" "$(versions)"
lookups_as_scan "version 2 after upgrade_index" editdistance_utf8_keys 2 editdistance_utf8_bounded 2
search_as_scan "version 2 after upgrade_index"
expect "the version 1 queries after upgrade_index find no key" 0 \
  "$(sql -e "SELECT COUNT(*) FROM ix__v__keys WHERE k >= 0")"
sql -e "CALL likeness.upgrade_index('test', 'ix', 'v'); CALL likeness.rebuild_index('test', 'ix', 'v')"
expect "check_index after upgrading and rebuilding again" "edits:1:2" "$(versions)"
sql -e "CALL likeness.drop_index('test', 'ix', 'v')"
echo "ok: an index of version 1 answers, is rebuilt as version 1, and moves to version 2 while rows are written"

# Refusals, and names that need quoting.
while IFS='|' read -r call message; do
  got=$( (sql -e "$call" 2>&1 || true) | tail -n 1 | sed 's/^ERROR 1644 (45000) at line 1: //')
  expect "$call" "$message" "$got"
done <<'CASES'
CALL likeness.create_index('test', 'nope', 'id', 'v', 1, 'bytes')|likeness.create_index: no table test.nope
CALL likeness.create_index('test', 'words', 'id', 'nope', 1, 'bytes')|likeness.create_index: no column nope in test.words
CALL likeness.create_index('test', 'words', 'v', 'v', 1, 'bytes')|likeness.create_index: v is not the single-column primary key of test.words
CALL likeness.create_index('test', 'words', 'id', 'v', 4, 'bytes')|likeness.create_index: k must be from 0 to 3, not 4
CALL likeness.create_index('test', 'words', 'id', 'v', 1, 'latin1')|likeness.create_index: form must be 'bytes', 'utf8' or 'folded', not 'latin1'
CALL likeness.drop_index('test', 'words', 'v')|likeness: no index on test.words.v
CALL likeness.drop_similarity_index('test', 'words', 'v')|likeness: no similarity index on test.words.v
CALL likeness.check_index('test', 'words', 'v')|likeness: no index on test.words.v
CALL likeness.upgrade_index('test', 'words', 'v')|likeness: no index on test.words.v
CALL likeness.create_similarity_index('test', 'words', 'id', 'v', 0.79, 'bytes')|likeness.create_similarity_index: threshold must be from 0.8 to 1, not 0.79
CALL likeness.create_similarity_index('test', 'words', 'id', 'v', NULL, 'utf8')|likeness.create_similarity_index: threshold must be from 0.8 to 1, not NULL
CALL likeness.create_similarity_index('test', 'words', 'id', 'v', 0.9, 'ucs2')|likeness.create_similarity_index: form must be 'bytes', 'utf8' or 'folded', not 'ucs2'
CALL likeness.create_similarity_index('test', 'nope', 'id', 'v', 0.9, 'bytes')|likeness.create_similarity_index: no table test.nope
CASES
sql -e "CREATE TABLE \`we\`\`ird; DROP TABLE words; --\` (\`i d k=9 function=x\` INT PRIMARY KEY, \`na\`\`me\` TEXT);
  INSERT INTO \`we\`\`ird; DROP TABLE words; --\` VALUES (1, 'MARTHA'), (2, 'MARHTA');
  CALL likeness.create_index('test', 'we\`ird; DROP TABLE words; --', 'i d k=9 function=x', 'na\`me', 1, 'bytes')"
sql -e "CALL likeness.create_similarity_index('test', 'we\`ird; DROP TABLE words; --', 'i d k=9 function=x', 'na\`me', 0.9, 'utf8')"
expect "keys of a table whose names need quoting" "edits:1 similarity:1" \
  "$(checked 'we\`ird; DROP TABLE words; --' 'na\`me')"
sql -e "CREATE TABLE \`люди\` (\`ид\` INT PRIMARY KEY, \`имя\` VARCHAR(20) CHARACTER SET utf8mb4);
  INSERT INTO \`люди\` VALUES (1, 'Łódź'), (2, 'Lodz'), (3, 'Łodź');
  CALL likeness.create_index('test', 'люди', 'ид', 'имя', 1, 'utf8');
  CALL likeness.create_similarity_index('test', 'люди', 'ид', 'имя', 0.8, 'utf8')"
expect "names outside Latin-1" "edits:1 similarity:1" "$(checked 'люди' 'имя')"
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
