#!/usr/bin/env bash
# likeness.pairs, likeness.link and likeness.clusters. Over the random table
# of words.sql, for every measure at a bound its keys serve and at one they
# do not: pairs and link hold exactly the nested loop's pairs and scores,
# each once; clusters holds the components of those pairs, each labelled by
# its least id; the warning says how each went. Then: small and degenerate
# tables; ids of every type, back byte for byte with first < second in the
# column's own order; names and values outside Latin-1; a call of several
# passes sees one snapshot while others write; kills at moments through a
# call leave no table and the server's memory where it was; a call whose
# memory cannot be had fails cleanly; the refusals; and the SQL of
# docs/joins.md prints what tests/sql/join-docs.result holds.
#   join.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
private_dir dir join
server_with_functions "$dir" "$plugin_dir" --max-allowed-packet=1G
server_client "$dir" <"$likeness_root/sql/index.sql"
sql() { server_client "$dir" --database=test --default-character-set=utf8mb4 -NB "$@"; }
pid=$(cat "$dir/pid")
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$pid/status"; }
tables() { sql -e "SELECT GROUP_CONCAT(TABLE_NAME ORDER BY TABLE_NAME) FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'test'"; }
sql <"$here/words.sql"
# The right side of links: other ids, another type of text column, values
# of words and values beside them.
sql -e "CREATE TABLE others (code VARCHAR(12) CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci PRIMARY KEY,
    name BLOB);
  INSERT INTO others SELECT CONCAT('p', pid), v FROM probes;
  INSERT INTO others SELECT CONCAT('W', id), v FROM words WHERE id % 5 = 0"

# A measure's score of two expressions, and the condition that it is
# within the bound. A measure over folded values is the _utf8 measure of
# the folds.
score() {  # MEASURE BOUND A B
  local m=$1 a=$3 b=$4
  case $m in *_folded) m=${m%_folded}_utf8 a="fold_utf8($a)" b="fold_utf8($b)" ;; esac
  case $m in editdistance*) echo "${m}_bounded($a, $b, $2)" ;; *) echo "$m($a, $b)" ;; esac
}
within() {  # MEASURE BOUND
  case $1 in editdistance*) echo "score <= $2" ;; *) echo "score >= $2" ;; esac
}
# The nested loops' answers, ordered as the checks read the tables.
nested_pairs() {  # MEASURE BOUND TABLE
  echo "SELECT x.id, y.id, $(score "$1" "$2" x.v y.v) AS score FROM $3 x JOIN $3 y ON y.id > x.id
        HAVING $(within "$1" "$2") ORDER BY x.id, y.id"
}
nested_link() {  # MEASURE BOUND
  echo "SELECT x.id, y.code, $(score "$1" "$2" x.v y.name) AS score FROM words x JOIN others y
        HAVING $(within "$1" "$2") ORDER BY x.id, y.code"
}
# The components of the nested loop's pairs, each row with the least id of
# its own: every row with a value, by union-find over the pairs.
nested_clusters() {  # MEASURE BOUND TABLE
  { sql -e "SELECT id FROM $3 WHERE v IS NOT NULL"; echo "--"; sql -e "$(nested_pairs "$1" "$2" "$3")"; } |
    awk 'function find(x) { while (up[x] != x) x = up[x]; return x }
         $0 == "--" { pairs = 1; next }
         !pairs { up[$1] = $1; ids[++n] = $1; next }
         { a = find($1); b = find($2); if (a + 0 < b + 0) up[b] = a; else up[a] = b }
         END { for (i = 1; i <= n; i++) print ids[i] "\t" find(ids[i]) }' | sort -n
}
# The way a call went, from its warning.
way() {
  sed -n -e 's/^Warning\t1642\tlikeness\.[a-z]*: by a join in memory of [^,]*, \(through the keys .*\), in [0-9]* pass.*/\1/p' \
    -e 's/^Warning\t1642\tlikeness\.[a-z]*: by a join in memory of [^,]*, \(comparing every pair\).*/\1/p'
}
passes() { sed -n 's/^Warning\t1642\t.*, in \([0-9]*\) pass.*/\1/p'; }

check_measure() {  # MEASURE BOUND EXPECTED_WAY
  local m=$1 bound=$2
  expect "$m within $bound: the way pairs went" "$3" \
    "$(sql -e "CALL likeness.pairs('test', 'words', 'v', '$m', $bound, 'found'); SHOW WARNINGS" | way)"
  expect "$m within $bound: pairs against the nested loop" "$(sql -e "$(nested_pairs "$m" "$bound" words)")" \
    "$(sql -e "SELECT first, second, score FROM found ORDER BY first, second")"
  sql -e "CALL likeness.link('test', 'words', 'v', 'others', 'name', '$m', $bound, 'linked')"
  expect "$m within $bound: link against the nested loop" "$(sql -e "$(nested_link "$m" "$bound")")" \
    "$(sql -e "SELECT first, second, score FROM linked ORDER BY first, second")"
  sql -e "CALL likeness.clusters('test', 'words', 'v', '$m', $bound, 'grouped')"
  expect "$m within $bound: clusters against the nested loop's components" "$(nested_clusters "$m" "$bound" words)" \
    "$(sql -e "SELECT id, cluster FROM grouped ORDER BY id")"
  sql -e "DROP TABLE found, linked, grouped"
}

while read -r m keyed unkeyed; do
  check_measure "$m" "$keyed" "$(sql -e "SELECT CONCAT('through the keys ', IF('$m' LIKE 'edit%',
    'editdistance', 'jarowinkler'), IF('$m' LIKE '%utf8' OR '$m' LIKE '%folded', '_utf8', ''), '_keys(',
    IF('$m' LIKE '%folded', 'fold_utf8(value)', 'value'), ', $keyed', IF('$m' LIKE 'edit%', ', 2', ''), ')')")"
  check_measure "$m" "$unkeyed" "comparing every pair"
  echo "ok: $m within $keyed and $unkeyed: pairs, link and clusters as the nested loop"
done <<'MEASURES'
editdistance 1 4
editdistance_dl 2 5
editdistance_utf8 0 4
editdistance_dl_utf8 3 6
jaro 0.85 0.7
jarowinkler 0.9 0.5
jaro_utf8 0.8 0.75
jarowinkler_utf8 0.95 0
editdistance_folded 1 4
editdistance_dl_folded 2 5
jaro_folded 0.9 0.6
jarowinkler_folded 0.85 0.75
MEASURES

# Tables of no rows, one row, NULLs only, one value again and again, and
# empty values, which only a similarity of 0 finds alike.
while IFS='|' read -r what rows; do
  sql -e "CREATE TABLE small (id INT PRIMARY KEY, v VARCHAR(20)); ${rows:+INSERT INTO small VALUES $rows}"
  for case in "editdistance 1" "jarowinkler 0.9" "jaro_utf8 0"; do
    read -r m bound <<<"$case"
    sql -e "CALL likeness.pairs('test', 'small', 'v', '$m', $bound, 'found');
      CALL likeness.clusters('test', 'small', 'v', '$m', $bound, 'grouped')"
    expect "$what, $m within $bound: pairs" "$(sql -e "$(nested_pairs "$m" "$bound" small)")" \
      "$(sql -e "SELECT first, second, score FROM found ORDER BY first, second")"
    expect "$what, $m within $bound: clusters" "$(nested_clusters "$m" "$bound" small)" \
      "$(sql -e "SELECT id, cluster FROM grouped ORDER BY id")"
    sql -e "DROP TABLE found, grouped"
  done
  sql -e "DROP TABLE small"
  echo "ok: $what"
done <<'TABLES'
an empty table|
one row|(7, 'MARTHA')
NULLs only|(1, NULL), (2, NULL)
one value again and again|(1, 'MARTHA'), (2, 'MARTHA'), (3, NULL), (4, 'MARTHA')
empty values|(1, ''), (2, ''), (3, 'a'), (4, NULL)
TABLES

# Ids of every type a table's key may have: pairs with first < second in
# the column's own order (ORDER BY's, enums and sets by number), clusters
# labelled by the least id in that order, links between ids of two types;
# every id back byte for byte.
while IFS='|' read -r type values; do
  sql -e "CREATE TABLE ids (id $type PRIMARY KEY, v VARCHAR(10)); INSERT INTO ids VALUES $values;
    CREATE TABLE ranked AS SELECT id, v, ROW_NUMBER() OVER (ORDER BY id) AS r FROM ids"
  sql -e "CALL likeness.pairs('test', 'ids', 'v', 'editdistance', 1, 'found');
    CALL likeness.clusters('test', 'ids', 'v', 'editdistance', 1, 'grouped');
    CALL likeness.link('test', 'ids', 'v', 'words', 'v', 'jarowinkler', 0.9, 'linked')"
  # Rows of the results are matched to the table's by their ids' values
  # and bytes.
  expect "ids $type: pairs" \
    "$(sql -e "SELECT x.r, y.r, editdistance(x.v, y.v) FROM ranked x JOIN ranked y ON y.r > x.r
               WHERE editdistance(x.v, y.v) <= 1 ORDER BY x.r, y.r")" \
    "$(sql -e "SELECT f.r, s.r, p.score FROM found p JOIN ranked f ON BINARY f.id = BINARY p.first AND f.id = p.first
               JOIN ranked s ON BINARY s.id = BINARY p.second AND s.id = p.second ORDER BY f.r, s.r")"
  # 'abc' and 'abd' are one component, 'xyz' apart.
  expect "ids $type: clusters" \
    "$(sql -e "SELECT r, IF(v = 'xyz', r, (SELECT MIN(r) FROM ranked WHERE v <> 'xyz')) FROM ranked ORDER BY r")" \
    "$(sql -e "SELECT i.r, c.r FROM grouped g JOIN ranked i ON BINARY i.id = BINARY g.id AND i.id = g.id
               JOIN ranked c ON BINARY c.id = BINARY g.cluster AND c.id = g.cluster ORDER BY i.r")"
  expect "ids $type: link" \
    "$(sql -e "SELECT x.r, y.id FROM ranked x JOIN words y WHERE jarowinkler(x.v, y.v) >= 0.9 ORDER BY x.r, y.id")" \
    "$(sql -e "SELECT i.r, l.second FROM linked l JOIN ranked i ON BINARY i.id = BINARY l.first AND i.id = l.first ORDER BY i.r, l.second")"
  sql -e "DROP TABLE ids, ranked, found, grouped, linked"
done <<'TYPES'
INT|(-5, 'abc'), (3, 'abd'), (10, 'abc'), (-100, 'xyz')
BIGINT UNSIGNED|(18446744073709551615, 'abc'), (0, 'abd'), (9223372036854775808, 'abc')
DECIMAL(30,5)|(1.5, 'abc'), (-0.00001, 'abd'), (123456789012345678901234.5, 'abc'), (0, 'xyz')
DOUBLE|(0.1, 'abc'), (1e300, 'abd'), (-2.5e-10, 'abc'), (1.0000000000000002, 'abc')
FLOAT|(0.1, 'abc'), (3.4e38, 'abd'), (1.0000001, 'abc'), (1, 'abc')
VARCHAR(20) CHARACTER SET utf8mb4|('a', 'abc'), ('B', 'abd'), ('ж"\\', 'abc'), ('c', 'xyz')
VARCHAR(20) CHARACTER SET latin1|('a', 'abc'), ('B', 'abd'), ('é', 'abc')
CHAR(5) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin|('a', 'abc'), ('B', 'abd'), ('a b', 'abc')
VARBINARY(20)|(0x00, 'abc'), (0xff00, 'abd'), (0x22, 'abc'), (0x5c, 'abc'), (0xe282, 'xyz')
BINARY(4)|(0x00, 'abc'), (0xff, 'abd'), (0x22, 'abc')
DATE|('2020-01-01', 'abc'), ('1999-12-31', 'abd'), ('2020-01-02', 'abc')
DATETIME(6)|('2020-01-01 00:00:00.000001', 'abc'), ('1999-12-31 23:59:59', 'abd'), ('2020-01-01 00:00:00.000002', 'abc')
TIME(3)|('-01:00:00', 'abc'), ('838:59:59', 'abd'), ('00:00:00.001', 'abc')
YEAR|(1999, 'abc'), (2000, 'abd'), (2155, 'xyz')
ENUM('b', 'a', 'c')|('a', 'abc'), ('b', 'abd'), ('c', 'abc')
SET('b', 'a', 'c')|('a', 'abc'), ('b', 'abd'), ('a,c', 'abc')
BIT(8)|(b'1', 'abc'), (b'11111111', 'abd'), (b'0', 'abc')
UUID|('123e4567-e89b-12d3-a456-426655440000', 'abc'), ('023e4567-e89b-12d3-a456-426655440000', 'abd'), ('ffffffff-e89b-12d3-a456-426655440000', 'abc')
INET6|('::1', 'abc'), ('fe80::1', 'abd'), ('::ffff:1.2.3.4', 'abc')
TYPES
echo "ok: ids of every type, byte for byte, in the column's own order"

# Names and values outside Latin-1.
sql -e "CREATE TABLE \`люди\` (\`ид\` INT PRIMARY KEY, \`имя\` VARCHAR(20) CHARACTER SET utf8mb4);
  INSERT INTO \`люди\` VALUES (1, 'Łódź'), (2, 'Lodz'), (3, 'Łodź'), (4, 'Müller'), (5, 'Muller'), (6, 'Мюллер');
  CALL likeness.pairs('test', 'люди', 'имя', 'editdistance_utf8', 1, 'пары');
  CALL likeness.clusters('test', 'люди', 'имя', 'editdistance_utf8', 1, 'группы')"
expect "pairs outside Latin-1" $'1\t3\t1\n4\t5\t1' "$(sql -e "SELECT * FROM \`пары\` ORDER BY 1, 2")"
expect "clusters outside Latin-1" "1 2 1 4 4 6" "$(sql -e "SELECT cluster FROM \`группы\` ORDER BY id" | xargs)"
echo "ok: names and values outside Latin-1"

# A call of several passes sees one snapshot: once its first pass runs,
# another connection changes values, adds rows and deletes rows, and the
# call still returns every pair of the table as it was. Ids of 240
# characters make the pairs of 900 equal values more than one piece.
sql -e "CREATE TABLE snap (id VARCHAR(250) CHARACTER SET ascii PRIMARY KEY, v VARCHAR(10));
  INSERT INTO snap SELECT CONCAT(LPAD(seq, 4, '0'), REPEAT('x', 236)), 'same' FROM seq_1_to_900"
sql -e "CALL likeness.pairs('test', 'snap', 'v', 'editdistance', 0, 'snap_pairs'); SHOW WARNINGS" >"$dir/snap.out" 2>&1 &
snapped=$!
in_pass() { sql -e "SELECT 1 FROM information_schema.processlist WHERE info LIKE 'SELECT editdistance_pairs%'"; }
for _ in $(seq 1 1200); do
  [ -n "$(in_pass)" ] && break
  sleep 0.05
done
[ -n "$(in_pass)" ] || fail "the first pass of pairs of snap was not seen: $(cat "$dir/snap.out")"
sql -e "UPDATE snap SET v = 'changed' WHERE id < '0300'; DELETE FROM snap WHERE id >= '0800';
  INSERT INTO snap SELECT CONCAT(LPAD(seq, 4, '0'), REPEAT('y', 236)), 'same' FROM seq_901_to_1000"
[ -n "$(in_pass)" ] || fail "pairs of snap ended its first pass before the writes"
wait "$snapped" || fail "pairs of snap: $(cat "$dir/snap.out")"
[ "$(passes <"$dir/snap.out")" -ge 2 ] || fail "pairs of snap took one pass: $(cat "$dir/snap.out")"
expect "pairs of snap, taken while others wrote" "404550 0 404550 0" \
  "$(sql -e "SELECT COUNT(*), SUM(score), SUM(first < second), SUM(second LIKE '%y') FROM snap_pairs" | xargs)"
sql -e "DROP TABLE snap, snap_pairs"
echo "ok: a call of $(passes <"$dir/snap.out") passes saw one snapshot while others wrote"

# Kills. A table of names whose pairs take seconds: a first call warms the
# server, then calls killed in each phase (reading the rows, keying,
# sorting and comparing them, keeping the chunks, filling the table) fail
# with the server's error within a few seconds, leave no table, and leave
# the server's memory where it was. Names of 6 to 10 random capitals, each
# five times.
letters=""
for i in $(seq 1 10); do letters+="${letters:+, }CHAR(65 + CONV(SUBSTRING(MD5(CONCAT($i, ':', seq DIV 5)), 1, 6), 16, 10) % 26)"; done
sql -e "CREATE TABLE names (id INT PRIMARY KEY, name VARCHAR(12) NOT NULL);
  INSERT INTO names SELECT seq, LEFT(CONCAT($letters), 6 + seq DIV 5 % 5) FROM seq_1_to_100000"
long_call="CALL likeness.pairs('test', 'names', 'name', 'jarowinkler', 0.85, 'killed_pairs')"
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { print b - a }'; }
started=$(now)
sql -e "$long_call; DROP TABLE killed_pairs"
whole=$(since "$started")
before=$(tables)
rss_before=$(rss_kb)
# Kills the statement of another connection that begins with PATTERN,
# AFTER seconds after it is first seen, and prints when it sent the kill and
# what the connection ran then; prints nothing when every other statement
# ended first. It watches from within the server, where a poll takes well
# under a millisecond, so that it sees phases of a call that last a moment.
sql --delimiter=// -e "CREATE PROCEDURE kill_in(pattern TEXT, after DOUBLE)
BEGIN
  DECLARE target, busy BIGINT;
  DECLARE seen BOOLEAN DEFAULT FALSE;
  DECLARE deadline DATETIME(6) DEFAULT NOW(6) + INTERVAL 10 MINUTE;
  REPEAT
    SELECT MAX(IF(info LIKE CONCAT(pattern, '%'), id, NULL)), COUNT(*) INTO target, busy
      FROM information_schema.processlist WHERE command = 'Query' AND id <> CONNECTION_ID();
    SET seen = seen OR busy > 0;
  UNTIL target IS NOT NULL OR (seen AND busy = 0) OR NOW(6) > deadline END REPEAT;
  IF target IS NOT NULL THEN
    DO SLEEP(after);
    SELECT LEFT(info, 40) INTO pattern FROM information_schema.processlist WHERE id = target;
    EXECUTE IMMEDIATE CONCAT('KILL QUERY ', target);
    SELECT UNIX_TIMESTAMP(NOW(6)), pattern;
  END IF;
END//"
# Starts the call, kills it AFTER seconds into its first statement that
# begins with PATTERN, and checks what it left. Fails (1) when the call
# ended before the kill reached it.
kill_once() {  # PATTERN AFTER
  local sent="" state="" took yardstick sleeper sleeper_id
  sql -e "$long_call" >"$dir/killed.out" 2>&1 &
  local killed=$!
  read -r sent state <<<"$(sql -e "CALL kill_in('$1', $2)")"
  wait "$killed" || true
  took=$(since "${sent:-$(now)}")
  if ! grep -q "ERROR" "$dir/killed.out" && [[ ,$(tables), == *,killed_pairs,* ]]; then
    sql -e "DROP TABLE killed_pairs"
    return 1
  fi
  [ -n "$sent" ] || fail "the call never ran '$1': $(cat "$dir/killed.out")"
  grep -q "ERROR 1317" "$dir/killed.out" || fail "killed in '$state': $(cat "$dir/killed.out")"
  expect "tables after a kill in '$state'" "$before" "$(tables)"
  # A sleeping statement's kill, measured now, under the same load.
  sql -e "SELECT SLEEP(60)" >/dev/null 2>&1 &
  sleeper=$!
  for _ in $(seq 1 200); do
    sleeper_id=$(sql -e "SELECT id FROM information_schema.processlist WHERE info = 'SELECT SLEEP(60)'")
    [ -n "$sleeper_id" ] && break
    sleep 0.01
  done
  sent=$(now)
  sql -e "KILL QUERY $sleeper_id"
  wait "$sleeper" || true
  yardstick=$(since "$sent")
  awk -v t="$took" -v y="$yardstick" 'BEGIN { exit !(t <= 2 * y + 2) }' ||
    fail "killed in '$state', the call took $took s to end; a sleep's kill $yardstick s"
  echo "ok: killed in '$state': error 1317 after $took s, no table"
}
# A short phase may end before the kill reaches it: then the call is
# whole, and the kill is tried again.
kill_call() {  # PATTERN AFTER
  for _ in 1 2 3 4 5; do
    kill_once "$1" "$2" && return
  done
  fail "five calls ended before a kill in '$1' reached them"
}
for fraction in 0 0.1 0.25 0.4 0.55; do
  kill_call "SELECT jarowinkler_pairs" "$(awk -v w="$whole" -v f="$fraction" 'BEGIN { print w * f }')"
done
kill_call 'INSERT INTO `test`.`likeness_chunks' 0
kill_call 'CREATE TABLE `test`.`killed_pairs`' 0.05
rss_after=$(rss_kb)
[ "$rss_after" -le $((rss_before + 65536)) ] ||
  fail "the server's memory grew from $rss_before KiB to $rss_after KiB over the killed calls"
echo "ok: the server's memory after the killed calls: $rss_after KiB, before them $rss_before KiB"

# A call whose memory cannot be had: the server's address space held to
# what it has now and a little more, then the join, then the limit lifted.
# The call fails with a clear error and leaves nothing behind; the server
# goes on.
vm_kb=$(awk '/^VmSize/ { print $2 }' "/proc/$pid/status")
limits=$(prlimit --pid "$pid" --as --raw --noheadings --output SOFT,HARD)
read -r soft hard <<<"$limits"
prlimit --pid "$pid" --as=$(((vm_kb + 200 * 1024) * 1024)):"$hard"
sql -e "$long_call" >"$dir/starved.out" 2>&1 || true
prlimit --pid "$pid" --as="$soft:$hard"
expect "a join without its memory" \
  "ERROR 1644 (45000) at line 1: likeness.pairs: the join could not get the memory it needs" \
  "$(tail -n 1 "$dir/starved.out")"
expect "tables after a join without its memory" "$before" "$(tables)"
expect "the server after it" 0.9611111113594638 "$(sql -e "SELECT jarowinkler('MARTHA', 'MARHTA')")"
echo "ok: a join without its memory failed cleanly"

# Refusals.
sql -e "CREATE TABLE two_keys (a INT, b INT, v TEXT, PRIMARY KEY (a, b)); CREATE TABLE latin (id INT PRIMARY KEY,
  v VARCHAR(10) CHARACTER SET latin1)"
while IFS='|' read -r call message; do
  got=$( (sql -e "$call" 2>&1 || true) | tail -n 1 | sed 's/^ERROR 1644 (45000) at line 1: //')
  expect "$call" "$message" "$got"
done <<'CASES'
CALL likeness.pairs('test', 'words', 'v', 'soundex', 1, 'x')|likeness.pairs: measure must be one of editdistance, editdistance_dl, editdistance_utf8, editdistance_dl_utf8, jaro, jarowinkler, jaro_utf8, jarowinkler_utf8, editdistance_folded, editdistance_dl_folded, jaro_folded, jarowinkler_folded, not 'soundex'
CALL likeness.pairs('test', 'words', 'v', 'editdistance', 1.5, 'x')|likeness.pairs: the bound of editdistance is a whole number of edits from 0 up, not 1.5
CALL likeness.clusters('test', 'words', 'v', 'jaro', 1.2, 'x')|likeness.clusters: the bound of jaro is a threshold from 0 to 1, not 1.2
CALL likeness.link('test', 'words', 'v', 'others', 'name', 'editdistance_dl', -1, 'x')|likeness.link: the bound of editdistance_dl is a whole number of edits from 0 up, not -1
CALL likeness.pairs('test', 'nope', 'v', 'jaro', 0.9, 'x')|likeness.pairs: no table test.nope
CALL likeness.clusters('test', 'words', 'nope', 'jaro', 0.9, 'x')|likeness.clusters: no column nope in test.words
CALL likeness.link('test', 'words', 'v', 'nope', 'v', 'jaro', 0.9, 'x')|likeness.link: no table test.nope
CALL likeness.link('test', 'words', 'v', 'others', 'nope', 'jaro', 0.9, 'x')|likeness.link: no column nope in test.others
CALL likeness.pairs('test', 'two_keys', 'v', 'jaro', 0.9, 'x')|likeness.pairs: test.two_keys has no single-column primary key
CALL likeness.link('test', 'two_keys', 'v', 'words', 'v', 'jaro', 0.9, 'x')|likeness.link: test.two_keys has no single-column primary key
CALL likeness.pairs('test', 'words', 'v', 'jaro', 0.9, 'others')|likeness.pairs: test.others exists already
CALL likeness.clusters('test', 'words', 'v', 'jaro', 0.9, 'words')|likeness.clusters: test.words exists already
CALL likeness.link('test', 'words', 'v', 'others', 'name', 'jaro', 0.9, 'probes')|likeness.link: test.probes exists already
CALL likeness.link('test', 'words', 'v', 'latin', 'v', 'jaro_utf8', 0.9, 'x')|likeness.link: jaro_utf8 compares UTF-8 text, and test.latin.v is latin1
CALL likeness.link('test', 'latin', 'v', 'words', 'v', 'jarowinkler_folded', 0.9, 'x')|likeness.link: jarowinkler_folded compares UTF-8 text, and test.latin.v is latin1
CASES
echo "ok: refusals say why"

# The documentation's SQL, as written, in a database of its own; the output
# tests/sql/join-docs.result holds (RECORD=1 writes it).
awk '/^```sql$/ { inside = 1; next } /^```$/ { inside = 0 } inside' "$likeness_root/docs/joins.md" >"$dir/docs.sql"
server_client "$dir" -e "CREATE DATABASE docs"
server_client "$dir" --database=docs --table <"$dir/docs.sql" >"$dir/docs.out"
if [ "${RECORD:-0}" = 1 ]; then
  cp "$dir/docs.out" "$here/join-docs.result"
else
  diff -u "$here/join-docs.result" "$dir/docs.out" || fail "the documentation's SQL printed other output"
fi
echo "ok: the documentation's SQL runs as written"
expect_no_crash "$dir"
