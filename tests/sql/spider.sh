#!/usr/bin/env bash
# Fuzzy scans sharded with Spider: a head over two shards, the functions
# pushed down to the shards, give exactly the answers of a plain InnoDB copy
# of the same rows on the head, for every function: values and NULLs,
# counts above a threshold, the top ten by score, binary values and 4-byte
# UTF-8 literals. The shards' general logs show the functions in the WHERE
# clauses they receive. A shard without the library fails the query at the
# head with the shard's error, and the head stays up.
#   spider.sh PLUGIN_DIR
set -euo pipefail
plugin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/private-server.sh"
source "$here/../../scripts/spider.sh"
skip_without "$(spider_system_plugin_dir)/ha_spider.so" "Spider (mariadb-plugin-spider)"
private_dir dir spider
spider_start "$dir" 2 "$plugin_dir" --general-log=1 --general-log-file=general.log
spider_table "$dir" t "id INT PRIMARY KEY, name VARCHAR(40) CHARACTER SET utf8mb4, bin VARBINARY(40)"

# 20,000 rows: generated names, some NULL, some with a 4-byte or an accented
# letter; bytes with NUL and '#' among them.
rows="SELECT seq, CASE WHEN seq % 53 = 0 THEN NULL
    WHEN seq % 11 = 0 THEN CONCAT($(generated_name seq), '😀')
    WHEN seq % 13 = 0 THEN CONCAT('Mü', $(generated_name seq)) ELSE $(generated_name seq) END,
  IF(seq % 47 = 0, NULL, CONCAT(UNHEX(SHA2(seq, 224)), X'0023', UNHEX(HEX(seq))))
  FROM seq_1_to_20000"
for i in 1 2; do
  server_client "$dir/shard$i" --database=test --default-character-set=utf8mb4 \
    -e "INSERT INTO t $rows WHERE seq % 2 = $((i - 1))"
done
spider_head "$dir" -e "INSERT INTO t_copy $rows"

queries=()
for f in jaro jarowinkler jaro_utf8 jarowinkler_utf8; do
  queries+=("SELECT id, $f(name, 'MARHTA'), $f(bin, X'00FF23') FROM TABLE ORDER BY id"
    "SELECT COUNT(*) FROM TABLE WHERE $f(name, 'MARHTA') > 0.75"
    "SELECT id, $f(name, 'MARHTA') AS score FROM TABLE WHERE $f(name, 'MARHTA') > 0.7
       ORDER BY score DESC, id LIMIT 10"
    "SELECT COUNT(*) FROM TABLE WHERE $f(name, 'MÜ😀MARHTA') > 0.5"
    "SELECT COUNT(*) FROM TABLE WHERE $f(bin, X'0023') > 0.2")
done
for f in editdistance editdistance_dl editdistance_utf8 editdistance_dl_utf8; do
  queries+=("SELECT id, $f(name, 'MARHTA'), $f(bin, X'00FF23') FROM TABLE ORDER BY id"
    "SELECT COUNT(*) FROM TABLE WHERE $f(name, 'MARHTA') <= 4"
    "SELECT id, $f(name, 'MARHTA') AS score FROM TABLE WHERE $f(name, 'MARHTA') <= 5
       ORDER BY score, id LIMIT 10"
    "SELECT COUNT(*) FROM TABLE WHERE $f(name, 'Mü😀MARHTA') <= 9"
    "SELECT COUNT(*) FROM TABLE WHERE $f(bin, X'0023') <= 30")
done
for f in editdistance_bounded editdistance_dl_bounded editdistance_utf8_bounded \
    editdistance_dl_utf8_bounded; do
  queries+=("SELECT id, $f(name, 'MARHTA', 3) FROM TABLE ORDER BY id"
    "SELECT COUNT(*) FROM TABLE WHERE $f(name, 'MARHTA', 2) <= 2"
    "SELECT COUNT(*) FROM TABLE WHERE $f(name, 'Mü😀MARHTA', 8) <= 8")
done
for q in "${queries[@]}"; do
  copy=$(spider_head "$dir" -NB -e "${q//TABLE/t_copy}")
  spider=$(spider_head "$dir" -NB -e "${q//TABLE/t}")
  if [ "$copy" != "$spider" ]; then
    diff <(echo "$copy") <(echo "$spider") | head -n 10 >&2
    fail "through Spider the answer differs from the copy's: ${q//TABLE/t}"
  fi
done
echo "ok: ${#queries[@]} queries over 20000 rows answered alike through Spider and on a plain copy"

# Every function reached the shards inside a WHERE clause.
for f in jaro jarowinkler jaro_utf8 jarowinkler_utf8 editdistance editdistance_dl \
    editdistance_utf8 editdistance_dl_utf8 editdistance_bounded editdistance_dl_bounded \
    editdistance_utf8_bounded editdistance_dl_utf8_bounded; do
  for i in 1 2; do
    grep -q -i "where .*[^_a-z]$f(\`name\`" "$dir/shard$i/data/general.log" ||
      fail "shard$i never received $f in a WHERE clause"
  done
done
echo "ok: both shards received every function in the WHERE clauses of their queries"
grep -i -m1 "where .*jarowinkler(\`name\`" "$dir/shard1/data/general.log" | sed 's/^.*Query\t/   for example: /'

# A shard without the library: the query fails at the head with the shard's
# error, and the head goes on answering.
mkdir "$dir/no-plugins"
server_start_tcp "$dir/bare" "$dir/no-plugins"
server_client "$dir/bare" -e "CREATE USER spider@'127.0.0.1' IDENTIFIED BY 'spider';
  GRANT ALL ON *.* TO spider@'127.0.0.1'; CREATE TABLE test.t2 (id INT PRIMARY KEY, name VARCHAR(20))"
server_client "$dir/shard1" -e "CREATE TABLE test.t2 (id INT PRIMARY KEY, name VARCHAR(20));
  INSERT INTO test.t2 VALUES (2, 'MARTHA')"
spider_head "$dir" -e "CREATE SERVER bare FOREIGN DATA WRAPPER mysql OPTIONS (HOST '127.0.0.1',
    PORT $(cat "$dir/bare/port"), USER 'spider', PASSWORD 'spider', DATABASE 'test');
  CREATE TABLE t2 (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=SPIDER
    COMMENT = 'wrapper \"mysql\", table \"t2\"'
    PARTITION BY HASH (id) (PARTITION p1 COMMENT = 'srv \"shard1\"', PARTITION p2 COMMENT = 'srv \"bare\"')"
error=$(spider_head "$dir" -e "SELECT id FROM t2 WHERE jarowinkler(name, 'MARHTA') > 0.5" 2>&1 || true)
expected="ERROR 1305 (42000) at line 1: FUNCTION test.jarowinkler does not exist"
expect "a query over a shard without the library" "$expected" "$error"
[ -n "$(spider_head "$dir" -NB -e 'SELECT jarowinkler(name, 1) FROM t_copy LIMIT 1')" ] ||
  fail "the head stopped answering after the shard's error"
expect_no_crash "$dir/head"
echo "ok: a shard without the library fails the query with: $error; the head goes on"
